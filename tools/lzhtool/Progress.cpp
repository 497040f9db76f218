#include "Progress.h"

#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

const char* Label = nullptr;  // null: nothing is shown
bool LineShowing = false;
char LastText[96];

}  // namespace

void ProgressStart(const char* label)
{
    Label = isatty(STDERR_FILENO) ? label : nullptr;
    LineShowing = false;
    LastText[0] = '\0';
}

void ProgressShow(std::uint64_t bytes, std::uint64_t done, std::uint64_t total)
{
    if (Label == nullptr || (bytes <= kProgressThreshold && total <= kProgressThreshold))
        return;
    const unsigned percent = total ? static_cast<unsigned>(done >= total ? 100 : done * 100 / total) : 0;
    char text[sizeof LastText];
    std::snprintf(text, sizeof text, "%s: %llu MiB, %u%%", Label, static_cast<unsigned long long>(bytes >> 20),
                  percent);
    if (LineShowing && !std::strcmp(text, LastText))
        return;
    std::memcpy(LastText, text, sizeof text);
    // Padded, so that the text always covers the one it replaces.
    std::fprintf(stderr, "\r%-40s", text);
    std::fflush(stderr);
    LineShowing = true;
}

void ProgressBytes(std::uint64_t done, std::uint64_t total) { ProgressShow(done, done, total); }

void ProgressBreak()
{
    if (!LineShowing)
        return;
    std::fputc('\n', stderr);
    LineShowing = false;
}

void ProgressFinish()
{
    ProgressBreak();
    Label = nullptr;
}
