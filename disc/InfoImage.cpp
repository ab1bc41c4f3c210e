#include "disc/InfoImage.h"

#include "disc/DiscContent.h"

#include <sys/mman.h>
#include <unistd.h>

namespace {

// Descriptor tags (ECMA-167). libdvdread reads only the tags and the fields set here, none of the
// checksums.
constexpr uint16_t kAnchor = 2, kPartition = 5, kLogicalVolume = 6, kTerminating = 8, kFileSet = 256,
                   kFileIdentifier = 257, kFileEntry = 261;
constexpr uint8_t kDirectory = 4, kFile = 5;
// The anchor's fixed place; the volume descriptors follow it, then the partition.
constexpr uint32_t kAnchorBlock = 256, kPartitionStart = kAnchorBlock + 4;

void Put16(std::string& image, size_t at, uint16_t value) {
    image[at] = static_cast<char>(value);
    image[at + 1] = static_cast<char>(value >> 8);
}

void Put32(std::string& image, size_t at, uint32_t value) {
    Put16(image, at, static_cast<uint16_t>(value));
    Put16(image, at + 2, static_cast<uint16_t>(value >> 16));
}

size_t BlockAt(uint32_t block) {
    return size_t{block} * kDiscBlockBytes;
}

// A file entry at partition block `entry` whose data are `bytes` bytes from partition block `data`.
void PutFileEntry(std::string& image, uint32_t entry, uint8_t type, uint32_t data, uint32_t bytes) {
    const size_t at = BlockAt(kPartitionStart + entry);
    Put16(image, at, kFileEntry);
    image[at + 16 + 11] = static_cast<char>(type);
    Put32(image, at + 56, bytes);
    Put32(image, at + 172, 8); // one short allocation descriptor
    Put32(image, at + 176, bytes);
    Put32(image, at + 180, data);
}

// A directory's file identifiers: its parent, then each name with its file entry's partition block.
std::string Identifiers(uint32_t parent, const std::vector<std::pair<std::string, uint32_t>>& entries,
                        uint8_t characteristics) {
    std::string list;
    const auto add = [&list](const std::string& name, uint32_t entry, uint8_t flags) {
        const size_t nameBytes = name.empty() ? 0 : name.size() + 1; // 8-bit characters after their marker
        std::string identifier(4 * ((38 + nameBytes + 3) / 4), '\0');
        Put16(identifier, 0, kFileIdentifier);
        identifier[18] = static_cast<char>(flags);
        identifier[19] = static_cast<char>(nameBytes);
        Put32(identifier, 20, kDiscBlockBytes);
        Put32(identifier, 24, entry);
        if (!name.empty()) {
            identifier[38] = 8;
            identifier.replace(39, name.size(), name);
        }
        list += identifier;
    };
    add("", parent, 0x0A); // the parent, hidden
    for (const auto& [name, entry] : entries)
        add(name, entry, characteristics);
    return list;
}

uint32_t Blocks(size_t bytes) {
    return static_cast<uint32_t>((bytes + kDiscBlockBytes - 1) / kDiscBlockBytes);
}

} // namespace

std::string BuildInfoImage(const std::map<std::string, std::string>& files) {
    // Partition blocks: 0 the file set, 1 the root's entry, 2 its identifiers, 3 VIDEO_TS's entry, then
    // VIDEO_TS's identifiers, then each file's entry and data.
    std::vector<std::pair<std::string, uint32_t>> entries;
    for (const auto& file : files)
        entries.emplace_back(file.first, 0);
    const uint32_t folderData = 4;
    uint32_t next = folderData + Blocks(Identifiers(1, entries, 0).size());
    for (auto& [name, entry] : entries) {
        entry = next;
        next += 1 + Blocks(files.at(name).size());
    }
    const std::string folder = Identifiers(1, entries, 0);
    const std::string root = Identifiers(1, {{"VIDEO_TS", 3}}, 0x02);
    std::string image(BlockAt(kPartitionStart + next), '\0');

    size_t at = BlockAt(kAnchorBlock);
    Put16(image, at, kAnchor);
    Put32(image, at + 16, 3 * kDiscBlockBytes); // the volume descriptors' extent
    Put32(image, at + 20, kAnchorBlock + 1);
    at = BlockAt(kAnchorBlock + 1);
    Put16(image, at, kPartition);
    Put16(image, at + 20, 1); // allocated
    Put32(image, at + 188, kPartitionStart);
    Put32(image, at + 192, next);
    at = BlockAt(kAnchorBlock + 2);
    Put16(image, at, kLogicalVolume);
    Put32(image, at + 212, kDiscBlockBytes);
    Put16(image, BlockAt(kAnchorBlock + 3), kTerminating);

    at = BlockAt(kPartitionStart);
    Put16(image, at, kFileSet);
    Put32(image, at + 400, kDiscBlockBytes); // the root's entry
    Put32(image, at + 404, 1);
    PutFileEntry(image, 1, kDirectory, 2, static_cast<uint32_t>(root.size()));
    image.replace(BlockAt(kPartitionStart + 2), root.size(), root);
    PutFileEntry(image, 3, kDirectory, folderData, static_cast<uint32_t>(folder.size()));
    image.replace(BlockAt(kPartitionStart + folderData), folder.size(), folder);
    for (const auto& [name, entry] : entries) {
        const std::string& bytes = files.at(name);
        PutFileEntry(image, entry, kFile, entry + 1, static_cast<uint32_t>(bytes.size()));
        image.replace(BlockAt(kPartitionStart + entry + 1), bytes.size(), bytes);
    }
    return image;
}

TDvdReader OpenInfoImage(const std::string& image) {
    const int fd = memfd_create("oxlip-ifo", MFD_CLOEXEC);
    if (fd < 0)
        return nullptr;
    size_t done = 0;
    while (done < image.size()) {
        const ssize_t wrote = write(fd, image.data() + done, image.size() - done);
        if (wrote <= 0)
            break;
        done += static_cast<size_t>(wrote);
    }
    // libdvdread opens the path on its own; the reader keeps its own descriptor.
    TDvdReader reader =
        done == image.size() ? OpenDvdReader("/proc/self/fd/" + std::to_string(fd)) : TDvdReader();
    close(fd);
    return reader;
}
