// Reading the generator's text sources in assets/: lines of words, with
// double-quoted words and # comments, and errors that name file and line.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace orvalink::gen {

struct AssetLine {
    int number = 0;                  // 1-based line number
    std::string text;                // the line as it is (no line end)
    std::vector<std::string> words;  // blank-separated; "..." is one word, quotes removed
};

// The problem of one line, as "file:line: message".
std::string AssetError(const std::filesystem::path& file, int line, const std::string& message);

// Reads a text file whole. False when it cannot be read.
bool ReadTextFile(const std::filesystem::path& path, std::string& text);

// Splits text into lines and words. Blank lines and comment lines are kept
// with no words, so that callers can read pictures row by row. A quote
// left open fails with `error`.
bool SplitAssetLines(const std::filesystem::path& file, const std::string& text, std::vector<AssetLine>& lines,
                     std::string& error);
// Reads an asset file and splits it as above; `error` names the file when
// it cannot be read.
bool ReadAssetLines(const std::filesystem::path& path, std::vector<AssetLine>& lines, std::string& error);

// "31", "0x1F": a number up to `limit`.
bool ParseAssetNumber(const std::string& word, unsigned limit, unsigned& value);

}  // namespace orvalink::gen
