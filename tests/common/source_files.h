// The repository's own files, for the tests that hold a document to the code it describes.
#pragma once

#include <algorithm>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

// A file of the repository (BRIGHTFADE_SOURCE_DIR), its CRs dropped.
inline std::string source_file(const std::string& path) {
    std::ifstream file(std::string(BRIGHTFADE_SOURCE_DIR) + "/" + path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    std::string lines = text.str();
    lines.erase(std::remove(lines.begin(), lines.end(), '\r'), lines.end());
    return lines;
}

// The text with every run of spaces and line ends as one space: prose wraps anywhere.
inline std::string flowing(const std::string& text) {
    return std::regex_replace(text, std::regex("[ \n]+"), " ");
}
