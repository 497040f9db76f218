// Controls of the host layer for tests and host tools: the payload resource,
// the code page, and faults injected into allocations, writes and resources.
// Not available on Windows; code that includes it is host-only.
#pragma once

#include "HostWin32.h"

// Makes (data, size) the RT_RCDATA resource 1 of every module; null data
// removes it, so that FindResourceA fails.
void HostRegisterPayload(const void* data, DWORD size);

// Which resource step fails although a payload is registered.
enum class HostResourceFault { None, Load, Lock };
void HostSetResourceFault(HostResourceFault fault);

// 932 makes IsDBCSLeadByte and the path mapping follow Shift-JIS; any other
// value selects a single-byte code page. Returns the previous value.
UINT HostSetCodePage(UINT codePage);

// The nth GlobalAlloc from now (1 = the next one) returns null; 0 disarms.
void HostFailAllocation(int nth);
// The nth _lwrite/_hwrite from now writes only half its bytes and returns
// that count, or returns -1 when failWithError is true; 0 disarms.
void HostShortWrite(int nth, bool failWithError = false);
// Number of GlobalAlloc calls not yet matched by GlobalFree.
int HostLiveAllocations();

// Called with the byte count of every _lwrite/_hwrite, before it is done;
// null removes it. lzhtool uses it to pace the release of archive pages.
void HostSetWriteObserver(void (*observer)(long count));

// Sink mode: the file functions leave the disk alone. _lcreat gives a handle
// whose writes are dropped (counted, and seen by the write observer, as any
// other write); SetFileTime and _lclose on it do
// nothing. Directories and files made while the mode is on exist for
// GetFileAttributesA, CreateDirectoryA, _lcreat and DeleteFileA as they would
// in an empty install folder, everything else answers as absent; so the
// engine's rules run unchanged with nothing written. Turning the mode on
// starts from an empty folder again.
void HostSetSinkMode(bool on);

// Disarms every fault and forgets the payload; the code page is kept.
void HostResetHooks();

// The POSIX path for a Win32 path: '\' becomes '/', stepping over double-byte
// characters under code page 932 so that a trail byte 0x5C stays in its name.
// Returns false when the result does not fit.
bool HostMapPath(LPCSTR path, char* out, std::size_t outSize);
