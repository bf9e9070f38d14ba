// The file kinds of the open and save dialogs, and path texts.
#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace orvalink {

// The kinds of the open and save dialogs, in table order. The save dialog
// knows every kind but txt.
enum class FileKind {
    smcf, smod, ssdc, mcf, mod, sdc, xirc, ircc, txt,
    xmcf, xmcu, vmcf, vmcu, vmod, virc, sbin,
};

struct FileKindInfo {
    FileKind kind;
    std::string_view filter;     // "Description (*.ext)|*.ext|All Files (*.*)|*.*"
    std::string_view extension;  // the default extension, without the dot
};

std::span<const FileKindInfo> OpenFileKinds();  // 16 kinds
std::span<const FileKindInfo> SaveFileKinds();  // 15 kinds
// The row of a kind; nullptr when the table does not hold it.
const FileKindInfo* OpenFileKind(FileKind kind);
const FileKindInfo* SaveFileKind(FileKind kind);

// Paths as the dialogs and messages show them (UTF-8) and as files are opened.
std::filesystem::path PathFromUtf8(std::string_view text);
std::string Utf8FromPath(const std::filesystem::path& path);

// Whether c separates folders in a path text: '/' everywhere, and '\\' too
// where it is the native separator.
bool IsPathSeparator(char c);

// The dialog folder of an initial path: when the path holds a separator
// after its first character, the path itself if it ends with one, else the
// part up to and including its last separator; otherwise empty.
// `endsWithSeparator` tells which case it was.
std::string DialogFolderOf(std::string_view initialPath, bool& endsWithSeparator);

}  // namespace orvalink
