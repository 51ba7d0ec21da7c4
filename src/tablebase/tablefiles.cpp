// Checks of the table files before the library sees them.
#include "tablebase/tablefiles.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace {

constexpr long OffsetsStart = 40;
constexpr long BlocksStartAt = 32;

uint32_t ReadWord(const unsigned char* bytes) {
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
           uint32_t(bytes[3]) << 24;
}

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};

} // namespace

std::vector<TableFile> TableFilesIn(const std::filesystem::path& folder) {
    const std::string ending = TableFileEnding;
    std::vector<TableFile> files;
    std::error_code error;
    // The error-code forms throw nothing (Vorn is built without exceptions).
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        if (name.size() > ending.size() &&
            name.compare(name.size() - ending.size(), ending.size(), ending) == 0)
            files.push_back({entry->path(), TableFileIsSound(entry->path())});
    }
    return files;
}

bool TableFileIsSound(const std::filesystem::path& file) {
    std::error_code error;
    const uintmax_t size = std::filesystem::file_size(file, error);
    if (error || size < uintmax_t(OffsetsStart) + 4 || size > UINT32_MAX) return false;
    const std::unique_ptr<FILE, FileCloser> in(std::fopen(file.c_str(), "rb"));
    if (!in) return false;

    unsigned char head[OffsetsStart];
    if (std::fread(head, 1, sizeof head, in.get()) != sizeof head) return false;
    const uint32_t blocksStart = ReadWord(head + BlocksStartAt);
    if (blocksStart < OffsetsStart + 8 || blocksStart > size || (blocksStart - OffsetsStart) % 4)
        return false;

    // The offsets rise from the first block to the end of the file.
    uint32_t previous = 0;
    for (uint32_t at = OffsetsStart; at < blocksStart; at += 4) {
        unsigned char word[4];
        if (std::fread(word, 1, sizeof word, in.get()) != sizeof word) return false;
        const uint32_t offset = ReadWord(word);
        if (at == OffsetsStart ? offset != blocksStart : offset < previous) return false;
        previous = offset;
    }
    return previous == size;
}
