#include "PackInputs.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iconv.h>

#include "HostHooks.h"
#include "MemberPath.h"

namespace lzhpack {

namespace {

// Folders nested deeper than this are taken for a link cycle.
constexpr int kMaxFolderDepth = 64;

std::string BaseName(const std::string& path)
{
    size_t end = path.find_last_not_of('/');
    if (end == std::string::npos)
        return path;
    size_t slash = path.rfind('/', end);
    size_t begin = slash == std::string::npos ? 0 : slash + 1;
    return path.substr(begin, end + 1 - begin);
}

// Appends the relative paths of every regular file below folder/relative.
int WalkFolder(const std::string& folder, const std::string& relative, int depth, std::vector<std::string>& found,
               std::string& message)
{
    std::string here = relative.empty() ? folder : folder + "/" + relative;
    if (depth > kMaxFolderDepth) {
        message = here + ": folders nested too deeply";
        return kPackNoInput;
    }
    DIR* dir = opendir(here.c_str());
    if (dir == nullptr) {
        message = here + ": " + std::strerror(errno);
        return kPackNoInput;
    }
    int status = kPackOk;
    std::vector<std::string> subfolders;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        std::string rel = relative.empty() ? name : relative + "/" + name;
        struct stat st;
        if (stat((folder + "/" + rel).c_str(), &st) != 0) {
            message = folder + "/" + rel + ": " + std::strerror(errno);
            status = kPackNoInput;
            break;
        }
        if (S_ISDIR(st.st_mode)) {
            subfolders.push_back(rel);
        } else if (S_ISREG(st.st_mode)) {
            found.push_back(rel);
        } else {
            message = folder + "/" + rel + ": not a regular file or folder";
            status = kPackNoInput;
            break;
        }
    }
    closedir(dir);
    for (size_t i = 0; status == kPackOk && i < subfolders.size(); ++i)
        status = WalkFolder(folder, subfolders[i], depth + 1, found, message);
    return status;
}

int AddFolder(const std::string& folder, std::vector<PackInput>& inputs, std::string& message)
{
    std::vector<std::string> found;
    int status = WalkFolder(folder, "", 0, found, message);
    if (status != kPackOk)
        return status;
    std::sort(found.begin(), found.end());  // std::string compares bytes as unsigned
    for (const std::string& rel : found) {
        PackInput in;
        in.path = folder + "/" + rel;
        size_t slash = rel.rfind('/');
        if (slash != std::string::npos)
            in.directory = rel.substr(0, slash);
        in.name = rel.substr(slash == std::string::npos ? 0 : slash + 1);
        inputs.push_back(in);
    }
    return kPackOk;
}

// The host layer's lead bytes are those of code page 932 while one lives.
struct DoubleByteScope {
    UINT previous = HostSetCodePage(kCodePage932);
    ~DoubleByteScope() { HostSetCodePage(previous); }
};

// Why a name component cannot be stored, or null. Printable ASCII but for
// the characters Windows refuses in names and the space, which the header
// reader would turn into '_'; under code page 932 also its double-byte
// characters (whose trail byte may be a '\' or a '|') and single-byte kana.
const char* ComponentProblem(const std::string& part, int codePage)
{
    if (part.empty())
        return "an empty name";
    for (size_t i = 0; i < part.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(part[i]);
        if (c >= 0x80 && codePage == kCodePage932) {
            if (IsDBCSLeadByte(c))
                i += 1;
            continue;
        }
        if (c >= 0x80)
            return "not plain ASCII (pack --codepage 932 stores UTF-8 names as code page 932)";
        if (c == ' ')
            return "a space, which the installer would read as '_'";
        if (c < 0x20 || c == 0x7F || std::strchr("\\/:*?\"<>|", c) != nullptr)
            return "a character Windows refuses in names (\\/:*?\"<>| or a control)";
    }
    return nullptr;
}

// UTF-8 to code page 932 through glibc's iconv, which never substitutes:
// false for bytes that are no UTF-8 and for a character that has no code
// page 932 form.
bool ToCodePage932(std::string& text)
{
    iconv_t convert = iconv_open("CP932", "UTF-8");
    if (convert == reinterpret_cast<iconv_t>(-1))
        return false;
    std::string out(text.size() * 2 + 1, '\0');  // never more bytes than the UTF-8 form
    char* in = &text[0];
    char* to = &out[0];
    size_t inLeft = text.size(), outLeft = out.size();
    const bool converted = iconv(convert, &in, &inLeft, &to, &outLeft) != size_t(-1) && inLeft == 0;
    iconv_close(convert);
    out.resize(out.size() - outLeft);
    text = out;
    return converted;
}

// Windows file names ignore the case of ASCII letters; a trail byte that
// looks like a letter is part of its character.
std::string Upper(const std::string& s, int codePage)
{
    std::string u = s;
    for (size_t i = 0; i < u.size(); ++i) {
        char& c = u[i];
        if (codePage == kCodePage932 && IsDBCSLeadByte(static_cast<BYTE>(c)))
            i += 1;
        else if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    }
    return u;
}

// The header as the installer reads the member's name at that level.
void ReadAsInstaller(const PackInput& input, int level, MemberHeader& header)
{
    std::string directory, name = level == 0 ? LevelZeroName(input) : input.name;
    if (level == 1 && !input.directory.empty())
        directory = input.directory + "/";
    std::replace(directory.begin(), directory.end(), '/', '\\');
    std::memset(&header, 0, sizeof header);
    std::memcpy(header.directoryName, directory.data(), std::min(directory.size(), size_t(kMaxDirectoryLength)));
    std::memcpy(header.fileName, name.data(), std::min(name.size(), size_t(kMaxBaseNameLength)));
}

// The installer's path rules, as it runs under code page 932 and under a
// single-byte one, in the shortest folder it may install to.
PathVerdict JudgeAsInstaller(const PackInput& input, int level)
{
    MemberHeader header;
    ReadAsInstaller(input, level, header);
    char target[kPathRoom];
    PathVerdict verdict = PathVerdict::Accepted;
    for (UINT page : {UINT(kCodePage932), UINT(1252)}) {
        const UINT previous = HostSetCodePage(page);
        verdict = BuildTargetPath("C:\\", header, target);
        HostSetCodePage(previous);
        if (verdict != PathVerdict::Accepted)
            break;
    }
    return verdict;
}

// Converts the stored names of input to codePage; false with a message.
bool ConvertNames(PackInput& input, int codePage, std::string& message)
{
    input.codePage = codePage;
    if (codePage != kCodePage932 || (ToCodePage932(input.directory) && ToCodePage932(input.name)))
        return true;
    message = input.path + ": a name without a code page 932 form, or not UTF-8";
    return false;
}

}  // namespace

int CollectInputs(const std::vector<std::string>& paths, std::vector<PackInput>& inputs, std::string& message,
                  int level, int codePage)
{
    for (const std::string& path : paths) {
        struct stat st;
        if (stat(path.c_str(), &st) != 0) {
            message = path + ": " + std::strerror(errno);
            return kPackNoInput;
        }
        if (S_ISDIR(st.st_mode)) {
            int status = AddFolder(path, inputs, message);
            if (status != kPackOk)
                return status;
        } else if (S_ISREG(st.st_mode)) {
            inputs.push_back(PackInput{path, "", BaseName(path)});
        } else {
            message = path + ": not a regular file or folder";
            return kPackNoInput;
        }
    }
    // Every refused name of the run, then the names that would land in one file.
    std::vector<std::string> refused;
    std::string why;
    for (PackInput& in : inputs) {
        if (!ConvertNames(in, codePage, why) || CheckStoredName(in, level, why) != kPackOk)
            refused.push_back(why);
    }
    std::vector<std::string> keys;
    DoubleByteScope doubleByte;
    for (const PackInput& in : inputs)
        keys.push_back(Upper(in.directory + "/" + in.name, codePage));
    std::vector<size_t> order(keys.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return keys[a] < keys[b]; });
    for (size_t i = 1; i < order.size(); ++i) {
        if (keys[order[i]] == keys[order[i - 1]])
            refused.push_back(inputs[order[i]].path + ": stored name clashes with " + inputs[order[i - 1]].path);
    }
    message.clear();
    for (const std::string& line : refused)
        message += (message.empty() ? "" : "\n") + line;
    return refused.empty() ? kPackOk : kPackBadName;
}

std::string LevelZeroName(const PackInput& input)
{
    std::string name = input.directory.empty() ? input.name : input.directory + "/" + input.name;
    std::replace(name.begin(), name.end(), '/', '\\');
    return name;
}

int CheckStoredName(const PackInput& input, int level, std::string& message)
{
    DoubleByteScope doubleByte;
    std::string rest = input.directory;
    const char* problem = nullptr;
    for (size_t guard = 0; problem == nullptr && !rest.empty() && guard <= input.directory.size(); ++guard) {
        size_t slash = rest.find('/');
        problem = ComponentProblem(rest.substr(0, slash), input.codePage);
        rest = slash == std::string::npos ? "" : rest.substr(slash + 1);
    }
    if (problem == nullptr)
        problem = ComponentProblem(input.name, input.codePage);
    if (problem == nullptr && level == 0 && LevelZeroName(input).size() > kMaxBaseName)
        problem = "stored path longer than 101 bytes (the level-0 limit)";
    if (problem == nullptr && level == 1 && input.name.size() > kMaxBaseName)
        problem = "file name longer than 101 bytes";
    if (problem == nullptr && level == 1 && input.directory.size() + 1 > kMaxDirectoryRecord)
        problem = "folder path longer than 199 bytes";
    const PathVerdict verdict = problem == nullptr ? JudgeAsInstaller(input, level) : PathVerdict::Accepted;
    if (verdict != PathVerdict::Accepted)
        problem = PathVerdictText(verdict);
    if (problem == nullptr)
        return kPackOk;
    message = input.path + ": " + problem + ": the installer would not write it";
    return kPackBadName;
}

}  // namespace lzhpack
