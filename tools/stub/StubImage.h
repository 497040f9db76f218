// An installer executable read as a stub: its PE headers, its sections and
// the resource tree, enough to put another payload into raw-data resource 1
// and lay the resource section out again as the linker does.
//
// What makes a file an installer of this project (anything else is refused):
// a PE32 image for i386 or a PE32+ image for amd64, an executable (not a DLL)
// for the Windows GUI subsystem, whose resource tree is held by one section
// and holds raw-data resource 1, the main dialogs 1 and 2, the folder-dialog
// templates DESTDIR_DLG and DESTDIR_DLGJ, and a string table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace stub {

enum StubStatus {
    kStubOk = 0,
    kStubNotInstaller = 1,  // not a PE image, or not one of this project's installers
    kStubUnsupported = 2,   // an installer whose layout cannot be rewritten safely
};

struct Section {
    std::uint32_t tableOffset;  // file offset of its entry in the section table
    std::uint32_t virtualAddress, virtualSize, rawPointer, rawSize;
};

// One resource (a leaf of the tree): where its data entry lies in the
// resource section and the data it names.
struct ResourceLeaf {
    std::uint32_t entryOffset;  // of the IMAGE_RESOURCE_DATA_ENTRY, from the section start
    std::uint32_t dataOffset;   // of the data, from the section start
    std::uint32_t size;
};

struct StubImage {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    bool wide = false;                 // PE32+
    std::uint32_t optionalHeader = 0;  // file offset
    std::uint32_t fileAlignment = 0, sectionAlignment = 0;
    std::vector<Section> sections;     // in table order, which is address order
    std::size_t resourceSection = 0;   // index into sections
    std::vector<ResourceLeaf> leaves;  // in data order
    std::size_t payloadLeaf = 0;       // raw-data resource 1
    std::uint32_t imageEnd = 0;        // end of the last section's raw data
    bool signature = false;            // a certificate table follows imageEnd
};

// Reads and checks data[0, size) as an installer stub. The image keeps
// pointing at data. On failure the message says what is wrong.
int ReadStub(const std::uint8_t* data, std::size_t size, StubImage& image, std::string& message);

// The installer with payload as raw-data resource 1: the resource section
// laid out again (every other resource byte-identical), the sections after
// it moved, every header field that depends on them fixed, the certificate
// table dropped and the checksum recomputed when the stub carries one.
int BuildInstaller(const StubImage& image, const std::uint8_t* payload, std::size_t payloadSize,
                   std::vector<std::uint8_t>& out, std::string& message);

// The PE checksum of a file whose checksum field lies at checksumOffset.
std::uint32_t PeChecksum(const std::vector<std::uint8_t>& file, std::size_t checksumOffset);

}  // namespace stub
