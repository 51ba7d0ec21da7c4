// The folders and files that the probing library is shown.
#pragma once

#include <filesystem>
#include <vector>

// The file-name ending of the tables of compression scheme 4.
constexpr const char* TableFileEnding = ".gtb.cp4";

// Whether a table file's index is whole. The file begins with a header whose
// 32-bit word at byte 32 is where the compressed blocks begin; from byte 40
// up to there lie the blocks' offsets, rising from that same place to the
// file's size. The library trusts this index: one cut short or overwritten
// makes it read out of bounds and crash, whereas broken blocks behind a
// whole index only fail their probes.
bool TableFileIsSound(const std::filesystem::path& file);

struct TableFile {
    std::filesystem::path Path;
    bool Sound; // TableFileIsSound
};

// The table files (names ending in TableFileEnding) of a folder; none when
// it cannot be read.
std::vector<TableFile> TableFilesIn(const std::filesystem::path& folder);
