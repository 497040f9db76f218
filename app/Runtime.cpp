// The few C library functions that the installer's code and the compiler
// call, for the executable that links no C runtime. Built with
// -fno-builtin and no loop-to-call rewriting, so that none of them is
// turned back into a call to itself.
#include <cstddef>

extern "C" {

void* memset(void* target, int value, std::size_t count)
{
    unsigned char* out = static_cast<unsigned char*>(target);
    while (count-- > 0)
        *out++ = static_cast<unsigned char>(value);
    return target;
}

void* memcpy(void* target, const void* source, std::size_t count)
{
    unsigned char* out = static_cast<unsigned char*>(target);
    const unsigned char* in = static_cast<const unsigned char*>(source);
    while (count-- > 0)
        *out++ = *in++;
    return target;
}

// Copies backwards when the target starts inside the source.
void* memmove(void* target, const void* source, std::size_t count)
{
    unsigned char* out = static_cast<unsigned char*>(target);
    const unsigned char* in = static_cast<const unsigned char*>(source);
    if (out <= in || out >= in + count)
        return memcpy(target, source, count);
    while (count-- > 0)
        out[count] = in[count];
    return target;
}

int memcmp(const void* left, const void* right, std::size_t count)
{
    const unsigned char* a = static_cast<const unsigned char*>(left);
    const unsigned char* b = static_cast<const unsigned char*>(right);
    for (std::size_t i = 0; i < count; ++i) {
        if (a[i] != b[i])
            return a[i] < b[i] ? -1 : 1;
    }
    return 0;
}

std::size_t strlen(const char* text)
{
    std::size_t length = 0;
    while (text[length] != '\0')
        ++length;
    return length;
}

int strcmp(const char* left, const char* right)
{
    const unsigned char* a = reinterpret_cast<const unsigned char*>(left);
    const unsigned char* b = reinterpret_cast<const unsigned char*>(right);
    while (*a != '\0' && *a == *b) {
        ++a;
        ++b;
    }
    return *a < *b ? -1 : (*a > *b ? 1 : 0);
}

}  // extern "C"
