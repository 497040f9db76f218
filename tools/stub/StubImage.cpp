// Reading an installer stub and writing it again around another payload.
//
// Layout notes, as ld lays out the installer (read from the built files):
// the resource section starts with the directory tables, their entries, the
// name strings and the data entries; the resources' data follow in the
// order of the tree, each at a multiple of 8 from the section start, with
// zero bytes between. The section's virtual size is the end of the last data
// rounded up to 8; the resource directory's size in the header is the same.
// The base relocations (.reloc) follow the resources, in memory and in the
// file; nothing refers to them but their data directory, so they can move.
// Every offset read below is checked against the bytes that hold it first.
#include "StubImage.h"

#include <algorithm>
#include <cstring>

namespace stub {

namespace {

// The PE format's numbers, named once.
constexpr std::uint32_t kDosLfanew = 0x3C;
constexpr std::uint32_t kCoffSize = 20;
constexpr std::uint16_t kMachineI386 = 0x14C, kMachineAmd64 = 0x8664;
constexpr std::uint16_t kMagicPe32 = 0x10B, kMagicPe32Plus = 0x20B;
constexpr std::uint16_t kFileExecutable = 0x0002, kFileDll = 0x2000;
constexpr std::uint16_t kSubsystemGui = 2;
constexpr std::uint32_t kSectionEntrySize = 40;
constexpr std::uint32_t kMaxSections = 96;
constexpr std::uint32_t kScnInitializedData = 0x40;
// Offsets in the optional header, the same in PE32 and PE32+ up to the
// directory count.
constexpr std::uint32_t kOptEntryPoint = 16, kOptSectionAlign = 32, kOptFileAlign = 36;
constexpr std::uint32_t kOptInitializedData = 8, kOptImageSize = 56, kOptHeadersSize = 60;
constexpr std::uint32_t kOptChecksum = 64, kOptSubsystem = 68;
constexpr std::uint32_t kDirCountPe32 = 92, kDirCountPe32Plus = 108;
constexpr std::uint32_t kDirResource = 2, kDirSecurity = 4, kDirBaseReloc = 5, kMaxDirs = 16;
// Resource tree: type, name, language; data entries at the third level.
constexpr int kTreeLevels = 3;
constexpr std::uint32_t kDirTableSize = 16, kDirEntrySize = 8, kDataEntrySize = 16;
constexpr std::uint32_t kHighBit = 0x80000000u;
constexpr std::uint32_t kMaxTreeEntries = 4096;  // far above the installer's dozen
constexpr std::uint32_t kResourceDataAlign = 8;
constexpr std::uint32_t kRtDialog = 5, kRtString = 6, kRtRcData = 10;
constexpr std::uint32_t kPayloadId = 1;

std::uint32_t Get16(const std::uint8_t* p) { return p[0] | p[1] << 8; }
std::uint32_t Get32(const std::uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t(p[3]) << 24; }
void Put32(std::vector<std::uint8_t>& f, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        f[at + i] = std::uint8_t(v >> (8 * i));
}
std::uint64_t AlignUp(std::uint64_t v, std::uint32_t a) { return (v + a - 1) / a * a; }
// [at, at + length) lies within size bytes.
bool Within(std::uint64_t at, std::uint64_t length, std::uint64_t size) { return at <= size && length <= size - at; }

int Refuse(int status, std::string& message, const std::string& why)
{
    message = why;
    return status;
}

// What the walk over the resource tree gathers.
struct TreeWalk {
    const std::uint8_t* section = nullptr;  // the resource section's raw data
    std::uint32_t size = 0;                 // its bytes present in the file (and in memory)
    std::uint32_t sectionRva = 0;
    std::uint32_t entries = 0;
    std::uint32_t metadataEnd = 0;  // end of the tables, strings and data entries
    std::vector<ResourceLeaf> leaves;
    std::vector<std::pair<std::uint32_t, std::string>> keys;  // type id, name: per leaf
    const char* fault = nullptr;
};

void Reach(TreeWalk& w, std::uint32_t end) { w.metadataEnd = std::max(w.metadataEnd, end); }

// A named entry's name as ASCII ('?' for anything else), or the id in decimal.
std::string EntryName(TreeWalk& w, std::uint32_t name)
{
    if (!(name & kHighBit))
        return std::to_string(name);
    const std::uint32_t at = name & ~kHighBit;
    if (!Within(at, 2, w.size) || !Within(at + 2, 2 * Get16(w.section + at), w.size)) {
        w.fault = "a resource name lies outside the resource section";
        return "";
    }
    const std::uint32_t length = Get16(w.section + at);
    Reach(w, at + 2 + 2 * length);
    std::string text;
    for (std::uint32_t i = 0; i < length; ++i) {
        const std::uint32_t c = Get16(w.section + at + 2 + 2 * i);
        text += c < 0x80 ? char(c) : '?';
    }
    return text;
}

void WalkDirectory(TreeWalk& w, std::uint32_t at, int level, std::uint32_t type, const std::string& name);

void WalkEntry(TreeWalk& w, std::uint32_t entry, int level, std::uint32_t type, const std::string& name)
{
    const std::uint32_t id = Get32(w.section + entry), target = Get32(w.section + entry + 4);
    if (level == 0 && (id & kHighBit))
        type = 0;  // a named type: never one the installer needs
    else if (level == 0)
        type = id;
    const std::string key = level == 1 ? EntryName(w, id) : name;
    const bool isDirectory = (target & kHighBit) != 0;
    if (isDirectory != (level + 1 < kTreeLevels)) {
        w.fault = "the resource tree is not three levels deep";
        return;
    }
    if (isDirectory) {
        WalkDirectory(w, target & ~kHighBit, level + 1, type, key);
        return;
    }
    if (!Within(target, kDataEntrySize, w.size)) {
        w.fault = "a resource data entry lies outside the resource section";
        return;
    }
    Reach(w, target + kDataEntrySize);
    const std::uint32_t rva = Get32(w.section + target), size = Get32(w.section + target + 4);
    if (rva < w.sectionRva || !Within(rva - w.sectionRva, size, w.size)) {
        w.fault = "a resource's data lies outside the resource section";
        return;
    }
    w.leaves.push_back({target, rva - w.sectionRva, size});
    w.keys.push_back({type, key});
}

// The walk's depth is bounded by kTreeLevels and its width by kMaxTreeEntries.
void WalkDirectory(TreeWalk& w, std::uint32_t at, int level, std::uint32_t type, const std::string& name)
{
    if (level >= kTreeLevels || w.fault)
        return;
    if (!Within(at, kDirTableSize, w.size)) {
        w.fault = "a resource directory lies outside the resource section";
        return;
    }
    const std::uint32_t count = Get16(w.section + at + 12) + Get16(w.section + at + 14);
    if (count > kMaxTreeEntries - w.entries ||
        !Within(at + kDirTableSize, std::uint64_t(count) * kDirEntrySize, w.size)) {
        w.fault = "a resource directory has more entries than its section holds";
        return;
    }
    w.entries += count;
    Reach(w, at + kDirTableSize + count * kDirEntrySize);
    for (std::uint32_t i = 0; i < count && !w.fault; ++i)
        WalkEntry(w, at + kDirTableSize + i * kDirEntrySize, level, type, name);
}

bool HasResource(const TreeWalk& w, std::uint32_t type, const std::string& name)
{
    for (const auto& key : w.keys)
        if (key.first == type && (name.empty() || key.second == name))
            return true;
    return false;
}

// The resource tree: read, checked to be the installer's, and its data
// laid out after every table, in order and without overlap.
int ReadResources(StubImage& image, std::uint32_t directoryRva, std::string& message)
{
    const Section& s = image.sections[image.resourceSection];
    if (directoryRva != s.virtualAddress)
        return Refuse(kStubUnsupported, message, "the resource directory does not start its section");
    TreeWalk w;
    w.section = image.data + s.rawPointer;
    w.size = std::min(s.rawSize, s.virtualSize);
    w.sectionRva = s.virtualAddress;
    WalkDirectory(w, 0, 0, 0, "");
    if (w.fault)
        return Refuse(kStubNotInstaller, message, w.fault);
    const struct {
        std::uint32_t type;
        const char* name;
    } needed[] = {
        {kRtRcData, "1"}, {kRtDialog, "1"}, {kRtDialog, "2"}, {kRtDialog, "DESTDIR_DLG"}, {kRtDialog, "DESTDIR_DLGJ"},
        {kRtString, ""}};
    for (const auto& n : needed)
        if (!HasResource(w, n.type, n.name))
            return Refuse(kStubNotInstaller, message,
                          "it has no resource " + std::string(*n.name ? n.name : "table") + " of type " +
                              std::to_string(n.type) + " as the installer does");
    int payloads = 0;
    for (std::size_t i = 0; i < w.keys.size(); ++i)
        if (w.keys[i].first == kRtRcData && w.keys[i].second == std::to_string(kPayloadId))
            ++payloads, image.payloadLeaf = i;
    if (payloads != 1)
        return Refuse(kStubUnsupported, message, "raw-data resource 1 comes in more than one language");
    const ResourceLeaf payload = w.leaves[image.payloadLeaf];
    // Empty data come first among data at one offset, and may lie anywhere
    // after the tables: they take no bytes.
    std::stable_sort(w.leaves.begin(), w.leaves.end(), [](const ResourceLeaf& a, const ResourceLeaf& b) {
        return a.dataOffset != b.dataOffset ? a.dataOffset < b.dataOffset : a.size < b.size;
    });
    std::vector<std::uint32_t> entries;
    for (const ResourceLeaf& leaf : w.leaves)
        entries.push_back(leaf.entryOffset);
    std::sort(entries.begin(), entries.end());
    if (std::adjacent_find(entries.begin(), entries.end()) != entries.end())
        return Refuse(kStubUnsupported, message, "two resources share one data entry");
    std::uint32_t end = w.metadataEnd;
    for (std::size_t i = 0; i < w.leaves.size(); ++i) {
        if (w.leaves[i].dataOffset < (w.leaves[i].size ? end : w.metadataEnd))
            return Refuse(kStubUnsupported, message, "resource data overlap the resource tables or each other");
        end = std::max(end, w.leaves[i].dataOffset + w.leaves[i].size);
        if (w.leaves[i].entryOffset == payload.entryOffset)
            image.payloadLeaf = i;
    }
    image.leaves = w.leaves;
    return kStubOk;
}

std::uint32_t DirectoryCount(const StubImage& image)
{
    return Get32(image.data + image.optionalHeader + (image.wide ? kDirCountPe32Plus : kDirCountPe32));
}

std::uint32_t DirectoryAt(const StubImage& image, std::uint32_t index)
{
    return image.optionalHeader + (image.wide ? kDirCountPe32Plus : kDirCountPe32) + 4 + 8 * index;
}

// The headers of a PE image for i386 or amd64 with a GUI subsystem.
int ReadHeaders(StubImage& image, std::uint32_t& sectionTable, std::uint32_t& sectionCount, std::string& message)
{
    const std::uint8_t* d = image.data;
    if (image.size < 0x40 || d[0] != 'M' || d[1] != 'Z')
        return Refuse(kStubNotInstaller, message, "it is not a Windows executable (no MZ header)");
    const std::uint32_t pe = Get32(d + kDosLfanew);
    if (!Within(pe, 4 + kCoffSize + 2, image.size) || std::memcmp(d + pe, "PE\0\0", 4) != 0)
        return Refuse(kStubNotInstaller, message, "it is not a PE image (no PE signature)");
    const std::uint8_t* coff = d + pe + 4;
    const std::uint32_t machine = Get16(coff), magic = Get16(coff + kCoffSize), flags = Get16(coff + 18);
    image.optionalHeader = pe + 4 + kCoffSize;
    image.wide = magic == kMagicPe32Plus;
    if (!((machine == kMachineI386 && magic == kMagicPe32) || (machine == kMachineAmd64 && magic == kMagicPe32Plus)))
        return Refuse(kStubNotInstaller, message, "it is neither a 32-bit i386 nor a 64-bit amd64 PE image");
    sectionCount = Get16(coff + 2);
    const std::uint32_t optionalSize = Get16(coff + 16);
    sectionTable = image.optionalHeader + optionalSize;
    const std::uint32_t dirCountAt = image.wide ? kDirCountPe32Plus : kDirCountPe32;
    if (optionalSize < dirCountAt + 4 || !Within(image.optionalHeader, optionalSize, image.size))
        return Refuse(kStubNotInstaller, message, "its optional header is cut short");
    const std::uint32_t dirs = DirectoryCount(image);
    if (dirs <= kDirBaseReloc || dirs > kMaxDirs || dirCountAt + 4 + 8 * dirs > optionalSize)
        return Refuse(kStubNotInstaller, message, "its data directory count is not one a linker writes");
    if ((flags & kFileExecutable) == 0 || (flags & kFileDll) != 0 ||
        Get16(d + image.optionalHeader + kOptSubsystem) != kSubsystemGui)
        return Refuse(kStubNotInstaller, message, "it is not a Windows GUI program");
    if (sectionCount == 0 || sectionCount > kMaxSections ||
        !Within(sectionTable, sectionCount * kSectionEntrySize, image.size) ||
        sectionTable + sectionCount * kSectionEntrySize > Get32(d + image.optionalHeader + kOptHeadersSize))
        return Refuse(kStubNotInstaller, message, "its section table lies outside its headers");
    image.sectionAlignment = Get32(d + image.optionalHeader + kOptSectionAlign);
    image.fileAlignment = Get32(d + image.optionalHeader + kOptFileAlign);
    const auto power = [](std::uint32_t a) { return a >= 16 && a <= 0x10000 && (a & (a - 1)) == 0; };
    if (!power(image.fileAlignment) || !power(image.sectionAlignment) || image.fileAlignment > image.sectionAlignment)
        return Refuse(kStubNotInstaller, message,
                      "its section or file alignment is not a power of two a linker writes");
    return kStubOk;
}

// The section table: sections in address order, their raw data in the file
// in the same order; the resource section found by its directory.
int ReadSections(StubImage& image, std::uint32_t table, std::uint32_t count, std::string& message)
{
    const std::uint32_t resourceRva = Get32(image.data + DirectoryAt(image, kDirResource));
    const std::uint32_t headersEnd = Get32(image.data + image.optionalHeader + kOptHeadersSize);
    bool found = false;
    std::uint64_t lastVirtualEnd = 0, lastRawEnd = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t* e = image.data + table + i * kSectionEntrySize;
        Section s{table + i * kSectionEntrySize, Get32(e + 12), Get32(e + 8), Get32(e + 20), Get32(e + 16)};
        if (s.rawSize == 0)
            s.rawPointer = 0;
        if (s.virtualAddress < lastVirtualEnd || s.virtualAddress % image.sectionAlignment != 0 ||
            (s.rawSize != 0 &&
             (s.rawPointer < lastRawEnd || s.rawPointer < headersEnd ||
              (s.rawPointer | s.rawSize) % image.fileAlignment != 0 || !Within(s.rawPointer, s.rawSize, image.size))))
            return Refuse(kStubUnsupported, message, "its sections are not laid out in address order within the file");
        lastVirtualEnd = s.virtualAddress + AlignUp(s.virtualSize, image.sectionAlignment);
        if (s.rawSize != 0)
            lastRawEnd = std::uint64_t(s.rawPointer) + s.rawSize;
        if (resourceRva >= s.virtualAddress && resourceRva < lastVirtualEnd) {
            image.resourceSection = image.sections.size();
            found = true;
        }
        image.sections.push_back(s);
    }
    if (!found || resourceRva == 0)
        return Refuse(kStubNotInstaller, message, "it has no resource section");
    if (lastVirtualEnd != Get32(image.data + image.optionalHeader + kOptImageSize))
        return Refuse(kStubUnsupported, message, "its image size does not match its sections");
    image.imageEnd = std::uint32_t(lastRawEnd);
    return kStubOk;
}

// Bytes after the last section: only a certificate table (and zero padding)
// may lie there; it is dropped when the installer is written.
int ReadTrailer(StubImage& image, std::string& message)
{
    const std::uint32_t at = Get32(image.data + DirectoryAt(image, kDirSecurity));
    const std::uint32_t size = Get32(image.data + DirectoryAt(image, kDirSecurity) + 4);
    image.signature = size != 0;
    if (image.signature && (at < image.imageEnd || !Within(at, size, image.size)))
        return Refuse(kStubUnsupported, message, "its certificate table lies outside the bytes after its sections");
    for (std::size_t i = image.imageEnd; i < image.size; ++i)
        if (image.data[i] != 0 && !(image.signature && i >= at && i < std::size_t(at) + size))
            return Refuse(kStubUnsupported, message,
                          std::to_string(image.size - image.imageEnd) + " bytes follow its last section");
    return kStubOk;
}

// Sections after the resources move when the resources grow or shrink: in
// memory only the base relocations may (nothing else refers to them), and no
// other directory nor the entry point may lie in what moves.
int CheckMovable(const StubImage& image, std::int64_t virtualShift, std::string& message)
{
    const std::uint32_t from = image.sections[image.resourceSection].virtualAddress;
    if (Get32(image.data + image.optionalHeader + kOptEntryPoint) >= from)
        return Refuse(kStubUnsupported, message, "its entry point lies in or after its resource section");
    for (std::uint32_t d = 0; d < DirectoryCount(image); ++d)
        if (d != kDirResource && d != kDirSecurity && d != kDirBaseReloc &&
            Get32(image.data + DirectoryAt(image, d)) >= from)
            return Refuse(kStubUnsupported, message,
                          "data directory " + std::to_string(d) + " lies in or after its resource section");
    const std::uint32_t relocRva = Get32(image.data + DirectoryAt(image, kDirBaseReloc));
    const std::uint32_t relocSize = Get32(image.data + DirectoryAt(image, kDirBaseReloc) + 4);
    const Section& rsrc = image.sections[image.resourceSection];
    if (relocRva >= from && relocRva < from + AlignUp(rsrc.virtualSize, image.sectionAlignment))
        return Refuse(kStubUnsupported, message, "its base relocations lie in its resource section");
    if (virtualShift == 0)
        return kStubOk;
    for (std::size_t i = image.resourceSection + 1; i < image.sections.size(); ++i) {
        const Section& s = image.sections[i];
        if (relocRva < s.virtualAddress || !Within(relocRva - s.virtualAddress, relocSize, s.virtualSize) ||
            relocRva - s.virtualAddress + relocSize != s.virtualSize)
            return Refuse(kStubUnsupported, message, "a section other than the base relocations follows its resources");
    }
    return kStubOk;
}

}  // namespace

int ReadStub(const std::uint8_t* data, std::size_t size, StubImage& image, std::string& message)
{
    image = StubImage();
    image.data = data;
    image.size = size;
    if (size > 0x7FFFFFFF)
        return Refuse(kStubNotInstaller, message, "it is larger than 2 GiB");
    std::uint32_t table = 0, count = 0;
    if (int rc = ReadHeaders(image, table, count, message))
        return rc;
    if (int rc = ReadSections(image, table, count, message))
        return rc;
    if (int rc = ReadResources(image, Get32(data + DirectoryAt(image, kDirResource)), message))
        return rc;
    return ReadTrailer(image, message);
}

std::uint32_t PeChecksum(const std::vector<std::uint8_t>& file, std::size_t checksumOffset)
{
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < file.size(); i += 2) {
        if (i == checksumOffset || i == checksumOffset + 2)
            continue;
        sum += file[i] | (i + 1 < file.size() ? file[i + 1] << 8 : 0);
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return std::uint32_t(sum + file.size());
}

namespace {

// The resource section's new raw bytes: everything before the first data
// as it was, then each data at the next multiple of 8, the payload in place
// of resource 1. Returns the new virtual size.
std::uint32_t LayOutResources(const StubImage& image, const std::uint8_t* payload, std::uint32_t payloadSize,
                              std::vector<std::uint8_t>& bytes)
{
    const std::uint8_t* old = image.data + image.sections[image.resourceSection].rawPointer;
    bytes.assign(old, old + image.leaves.front().dataOffset);
    for (std::size_t i = 0; i < image.leaves.size(); ++i) {
        const ResourceLeaf& leaf = image.leaves[i];
        const bool isPayload = i == image.payloadLeaf;
        bytes.resize(i == 0 ? bytes.size() : AlignUp(bytes.size(), kResourceDataAlign));
        const std::uint32_t rva = image.sections[image.resourceSection].virtualAddress + std::uint32_t(bytes.size());
        const std::uint32_t size = isPayload ? payloadSize : leaf.size;
        Put32(bytes, leaf.entryOffset, rva);
        Put32(bytes, leaf.entryOffset + 4, size);
        const std::uint8_t* from = isPayload ? payload : old + leaf.dataOffset;
        bytes.insert(bytes.end(), from, from + size);
    }
    bytes.resize(AlignUp(bytes.size(), kResourceDataAlign));
    return std::uint32_t(bytes.size());
}

void AddTo(std::vector<std::uint8_t>& f, std::size_t at, std::int64_t delta)
{
    Put32(f, at, std::uint32_t(Get32(&f[at]) + delta));
}

}  // namespace

int BuildInstaller(const StubImage& image, const std::uint8_t* payload, std::size_t payloadSize,
                   std::vector<std::uint8_t>& out, std::string& message)
{
    const Section& rsrc = image.sections[image.resourceSection];
    if (payloadSize > 0x7FFFFFFF - image.imageEnd)
        return Refuse(kStubUnsupported, message, "the payload is too large for an executable");
    std::vector<std::uint8_t> resources;
    const std::uint32_t virtualSize = LayOutResources(image, payload, std::uint32_t(payloadSize), resources);
    const std::uint32_t rawSize = std::uint32_t(AlignUp(virtualSize, image.fileAlignment));
    const std::int64_t virtualShift = std::int64_t(AlignUp(virtualSize, image.sectionAlignment)) -
                                      std::int64_t(AlignUp(rsrc.virtualSize, image.sectionAlignment));
    const std::int64_t rawShift = std::int64_t(rawSize) - rsrc.rawSize;
    if (int rc = CheckMovable(image, virtualShift, message))
        return rc;
    resources.resize(rawSize);
    out.assign(image.data, image.data + rsrc.rawPointer);
    out.insert(out.end(), resources.begin(), resources.end());
    out.insert(out.end(), image.data + rsrc.rawPointer + rsrc.rawSize, image.data + image.imageEnd);
    Put32(out, rsrc.tableOffset + 8, virtualSize);
    Put32(out, rsrc.tableOffset + 16, rawSize);
    for (std::size_t i = image.resourceSection + 1; i < image.sections.size(); ++i) {
        AddTo(out, image.sections[i].tableOffset + 12, virtualShift);
        if (image.sections[i].rawSize != 0)
            AddTo(out, image.sections[i].tableOffset + 20, rawShift);
    }
    const std::uint32_t opt = image.optionalHeader;
    AddTo(out, opt + kOptImageSize, virtualShift);
    if (Get32(image.data + rsrc.tableOffset + 36) & kScnInitializedData)
        AddTo(out, opt + kOptInitializedData, rawShift);
    AddTo(out, DirectoryAt(image, kDirResource) + 4, std::int64_t(virtualSize) - rsrc.virtualSize);
    if (Get32(image.data + DirectoryAt(image, kDirBaseReloc)) > rsrc.virtualAddress)
        AddTo(out, DirectoryAt(image, kDirBaseReloc), virtualShift);
    Put32(out, DirectoryAt(image, kDirSecurity), 0);
    Put32(out, DirectoryAt(image, kDirSecurity) + 4, 0);
    if (Get32(image.data + opt + kOptChecksum) != 0)
        Put32(out, opt + kOptChecksum, PeChecksum(out, opt + kOptChecksum));
    return kStubOk;
}

}  // namespace stub
