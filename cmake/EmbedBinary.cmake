# orvalink_embed_binary(target asset symbol): compiles the bytes of `asset`
# into `target` as
#   std::span<const uint8_t> symbol()   (namespace orvalink)
# The source is generated at configure time and regenerated when the asset
# changes.
function(orvalink_embed_binary target asset symbol)
  file(READ ${asset} hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  set(out ${CMAKE_CURRENT_BINARY_DIR}/generated/${symbol}.cpp)
  file(CONFIGURE OUTPUT ${out} CONTENT
"// Generated from ${asset}.
#include <cstdint>
#include <span>
namespace orvalink {
namespace { const uint8_t kBytes[] = {${bytes}}; }
std::span<const uint8_t> ${symbol}() { return kBytes; }
}  // namespace orvalink
" @ONLY)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${asset})
  target_sources(${target} PRIVATE ${out})
endfunction()
