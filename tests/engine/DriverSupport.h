// Runs the member loop over an archive into a scratch folder and records
// what happened to each member.
#pragma once

#include <string>
#include <vector>

#include "ExtractPayload.h"
#include "TestSupport.h"

struct Outcome {
    std::string name;          // directory and file name as read
    MemberOutcome outcome;
    PathVerdict verdict;
    DecodeReason decodeReason;
    int headerResult;
    std::int32_t headerStart;
    FILETIME lastWriteTime;
};

struct DriverRun {
    int result = -1;
    std::vector<Outcome> outcomes;
    int Count(MemberOutcome what) const;
};

DriverRun RunMembers(const Bytes& archive, const std::string& folder);
Bytes Text(const std::string& text);
MemberSpec PackedText(const std::string& name, const std::string& text, int level = 1);
