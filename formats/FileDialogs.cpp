// The file kinds of the open and save dialogs, and path texts.
#include <array>

#include "formats/FileKinds.h"

namespace orvalink {

namespace {

constexpr std::array<FileKindInfo, 16> kOpenKinds = {{
    {FileKind::smcf, "Security Machine Config Files (*.smcf)|*.smcf|All Files (*.*)|*.*", "smcf"},
    {FileKind::smod, "Security Moduler Files (*.smod)|*.smod|All Files (*.*)|*.*", "smod"},
    {FileKind::ssdc, "Security PreProCode Files (*.ssdc)|*.ssdc|All Files (*.*)|*.*", "ssdc"},
    {FileKind::mcf, "Machine Config Files (*.mcf)|*.mcf|All Files (*.*)|*.*", "mcf"},
    {FileKind::mod, "Moduler Files (*.mod)|*.mod|All Files (*.*)|*.*", "mod"},
    {FileKind::sdc, "PreProCode Files (*.sdc)|*.sdc|All Files (*.*)|*.*", "sdc"},
    {FileKind::xirc, "X Moduler Files (*.xirc)|*.xirc|All Files (*.*)|*.*", "xirc"},
    {FileKind::ircc, "General Moduler Files (*.ircc)|*.ircc|All Files (*.*)|*.*", "ircc"},
    {FileKind::txt, "Text Files (*.txt)|*.txt|All Files (*.*)|*.*", "txt"},
    {FileKind::xmcf, "X Machine Files (*.xmcf)|*.xmcf|All Files (*.*)|*.*", "xmcf"},
    {FileKind::xmcu, "X Machine Files (*.xmcu)|*.xmcu|All Files (*.*)|*.*", "xmcu"},
    {FileKind::vmcf, "V Machine Files (*.vmcf)|*.vmcf|All Files (*.*)|*.*", "vmcf"},
    {FileKind::vmcu, "V Machine Files (*.vmcu)|*.vmcu|All Files (*.*)|*.*", "vmcu"},
    {FileKind::vmod, "V Moduler Files (*.vmod)|*.vmod|All Files (*.*)|*.*", "vmod"},
    {FileKind::virc, "V Moduler Files (*.virc)|*.virc|All Files (*.*)|*.*", "virc"},
    // Two blanks after "S Binary".
    {FileKind::sbin, "S Binary  Files (*.sbin)|*.sbin|All Files (*.*)|*.*", "sbin"},
}};

// The same list without txt.
constexpr std::array<FileKindInfo, 15> MakeSaveKinds() {
    std::array<FileKindInfo, 15> out{};
    size_t n = 0;
    for (const FileKindInfo& k : kOpenKinds)
        if (k.kind != FileKind::txt) out[n++] = k;
    return out;
}
constexpr std::array<FileKindInfo, 15> kSaveKinds = MakeSaveKinds();

const FileKindInfo* FindKind(std::span<const FileKindInfo> table, FileKind kind) {
    for (const FileKindInfo& k : table)
        if (k.kind == kind) return &k;
    return nullptr;
}

}  // namespace

std::span<const FileKindInfo> OpenFileKinds() { return kOpenKinds; }
std::span<const FileKindInfo> SaveFileKinds() { return kSaveKinds; }
const FileKindInfo* OpenFileKind(FileKind kind) { return FindKind(kOpenKinds, kind); }
const FileKindInfo* SaveFileKind(FileKind kind) { return FindKind(kSaveKinds, kind); }

std::filesystem::path PathFromUtf8(std::string_view text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::string Utf8FromPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

bool IsPathSeparator(char c) {
    return c == '/' || (std::filesystem::path::preferred_separator == '\\' && c == '\\');
}

std::string DialogFolderOf(std::string_view initialPath, bool& endsWithSeparator) {
    endsWithSeparator = false;
    size_t last = std::string_view::npos;
    for (size_t i = 1; i < initialPath.size(); ++i)
        if (IsPathSeparator(initialPath[i])) last = i;
    if (last == std::string_view::npos) return {};
    endsWithSeparator = last + 1 == initialPath.size();
    return std::string(initialPath.substr(0, last + 1));
}

}  // namespace orvalink
