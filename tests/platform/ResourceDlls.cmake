# The resource libraries that tests/platform/ResourceLibraryTest.cpp reads.
# Included from tests/CMakeLists.txt after orvalink_core_tests is defined.
#
# Builds the sample library of tests/platform/resource-dll/sample.rc as a
# 64-bit and a 32-bit image, and hands the tests their paths; when the top
# level builds model.dll and dev_model.dll, the tests get those too.
include(${PROJECT_SOURCE_DIR}/cmake/ResourceDlls.cmake)

set(ORVALINK_SAMPLE_RC ${CMAKE_CURRENT_SOURCE_DIR}/platform/resource-dll/sample.rc)
orvalink_add_resource_dll(sample-pe32plus ${ORVALINK_SAMPLE_RC}
                          OUTPUT_DIR ${CMAKE_CURRENT_BINARY_DIR}/resource-dll)
orvalink_add_resource_dll(sample-pe32 ${ORVALINK_SAMPLE_RC}
                          OUTPUT_DIR ${CMAKE_CURRENT_BINARY_DIR}/resource-dll PE32)

set(dll_targets orvalink_sample-pe32plus_dll orvalink_sample-pe32_dll)
orvalink_test_paths(orvalink_core_tests
  ORVALINK_BUILT_SAMPLE_DLL64="$<TARGET_PROPERTY:orvalink_sample-pe32plus_dll,ORVALINK_DLL_FILE>"
  ORVALINK_BUILT_SAMPLE_DLL32="$<TARGET_PROPERTY:orvalink_sample-pe32_dll,ORVALINK_DLL_FILE>")
if(TARGET orvalink_model_dll AND TARGET orvalink_dev_model_dll)
  orvalink_test_paths(orvalink_core_tests
  ORVALINK_ASSETS_DIR="${PROJECT_SOURCE_DIR}/assets"
  ORVALINK_DEV_MODEL_DATA_DIR="${ORVALINK_DEV_MODEL_DATA_DIR}"
  ORVALINK_MODEL_PICTURE_DIR="${ORVALINK_MODEL_PICTURE_DIR}"
  ORVALINK_MODEL_DLL="$<TARGET_PROPERTY:orvalink_model_dll,ORVALINK_DLL_FILE>"
  ORVALINK_DEV_MODEL_DLL="$<TARGET_PROPERTY:orvalink_dev_model_dll,ORVALINK_DLL_FILE>")
  list(APPEND dll_targets orvalink_model_dll orvalink_dev_model_dll)
endif()
add_dependencies(orvalink_core_tests ${dll_targets})
