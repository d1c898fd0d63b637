#include "platform/posix/packages/dpkg/dpkg_lists.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>

#include "platform/platform.h"
#include "platform/posix/error_codes.h"
#include "platform/posix/packages/package_database.h"

namespace corvane::posix {
namespace {

constexpr std::string_view kListSuffix = ".md5sums";
constexpr std::size_t kDigestLength = 32;
// Descriptors left for everything else the process opens.
constexpr std::size_t kSpareDescriptors = 64;

// Bytes and no early exit: a loop the compiler turns into a few wide
// compares. Measured on this project's 2-core Debian 12 VM against a loop of
// isxdigit with an early exit: that made `corvane /l` and `corvane
// /usr/bin/*` 48-58% slower.
bool IsDigest(const char* text) {
  unsigned char bad = 0;
  for (std::size_t i = 0; i < kDigestLength; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const unsigned char digit = c - '0';
    const unsigned char letter = (c | 0x20) - 'a';
    bad |= (digit >= 10) & (letter >= 6);
  }
  return bad == 0;
}

bool NamesFile(std::string_view path) {
  return !path.empty() && path[0] == '/' && path.find('\0') == std::string_view::npos;
}

// Opens `name` in the directory `at` for reading as *fd: 0; EACCES when it is
// not a regular file (unless `known_regular` says it is); or the errno. Not
// blocking, so that a pipe or a device is turned down instead of hanging the run.
int OpenRegular(int at, const char* name, bool known_regular, int* fd) {
  UniqueFd opened(openat(at, name, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  // A socket, or a device without its driver, cannot even be opened.
  if (!opened.valid()) return errno == ENXIO || errno == ENODEV ? EACCES : errno;
  struct stat status;
  if (!known_regular && fstat(opened.get(), &status) != 0) return errno;
  if (!known_regular && !S_ISREG(status.st_mode)) return EACCES;
  *fd = opened.release();
  return 0;
}

}  // namespace

std::string_view RecordedPath(std::span<char> line) {
  if (line.size() <= kDigestLength + 2 || !IsDigest(line.data()) || line[kDigestLength] != ' ' ||
      line[kDigestLength + 1] != ' ')
    return {};
  // Tolerates a leading '/', which the format leaves out.
  std::size_t start = kDigestLength + 2;
  while (start < line.size() && line[start] == '/') ++start;
  if (start == line.size()) return {};
  line[start - 1] = '/';
  return std::string_view(line.data() + start - 1, line.size() - start + 1);
}

std::string_view PackageOfList(std::string_view file_name) {
  file_name.remove_suffix(kListSuffix.size());
  return file_name.substr(0, file_name.find(':'));
}

std::uint32_t DpkgLists::Open() {
  if (const int failure = ReadDiversions(); failure != 0) return WindowsErrorFromErrno(failure);
  for (const auto& [from, diversion] : diversions_) {
    if (diverted_sizes_.size() <= from.size()) diverted_sizes_.resize(from.size() + 1);
    diverted_sizes_[from.size()] = true;
  }

  info_.reset(open((root_ + "/info").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!info_.valid())
    return errno == ENOENT || errno == ENOTDIR ? kErrorServiceDoesNotExist
                                               : WindowsErrorFromErrno(errno);
  UniqueFd copy(dup(info_.get()));
  if (!copy.valid()) return WindowsErrorFromErrno(errno);
  const UniqueDir stream(fdopendir(copy.get()));
  if (!stream.valid()) return WindowsErrorFromErrno(errno);
  copy.release();  // the stream owns it now
  int failure = 0;
  for (;;) {
    errno = 0;
    const dirent* entry = readdir(stream.get());
    if (entry == nullptr) {
      failure = errno;
      break;
    }
    const std::string_view name = entry->d_name;
    if (name.size() > kListSuffix.size() && name.ends_with(kListSuffix))
      lists_.push_back(List{std::string(name), entry->d_type});
  }
  if (failure != 0) return WindowsErrorFromErrno(failure);
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur > 2 * kSpareDescriptors)
    keepable_ = limit.rlim_cur == RLIM_INFINITY
                    ? lists_.size()
                    : std::min<std::size_t>(lists_.size(), limit.rlim_cur - kSpareDescriptors);
  return kErrorSuccess;
}

int DpkgLists::ReadDiversions() {
  int opened = -1;
  const int refused = OpenRegular(AT_FDCWD, (root_ + "/diversions").c_str(), false, &opened);
  if (refused != 0) return refused == ENOENT ? 0 : refused;
  const UniqueFd fd(opened);
  // Three lines a diversion: the file, where it goes, and the package that
  // diverts it. The first for a file counts; one cut short makes all corrupt.
  LineReader reader;
  reader.Start(fd.get());
  std::string fields[3];
  int filled = 0;
  std::span<char> lines;
  int failure;
  while ((failure = reader.Next(&lines)) == 0 && !lines.empty()) {
    for (std::string_view rest(lines.data(), lines.size()); !rest.empty();) {
      const std::size_t end = rest.find('\n');
      fields[filled++].assign(rest.substr(0, end));
      rest.remove_prefix(end + 1);
      if (filled < 3) continue;
      filled = 0;
      diversions_.try_emplace(std::move(fields[0]), Diversion{std::move(fields[1]), std::move(fields[2])});
    }
  }
  return failure == 0 && (filled != 0 || reader.supplied_last_line_end()) ? EBADMSG : failure;
}

int DpkgLists::OpenList(std::size_t list, int* fd) const {
  const unsigned char type = lists_[list].type;
  if (type != DT_REG && type != DT_LNK && type != DT_UNKNOWN) return EACCES;
  return OpenRegular(info_.get(), lists_[list].name.c_str(), type == DT_REG, fd);
}

int DpkgLists::TakeList(std::size_t list, int* fd) {
  if (list < kept_.size() && kept_[list].valid()) {
    *fd = kept_[list].release();
    --kept_count_;
    return 0;
  }
  return OpenList(list, fd);
}

void DpkgLists::KeepList(std::size_t list, UniqueFd fd) {
  if (kept_count_ >= keepable_) return;
  if (kept_.empty()) kept_.resize(lists_.size());
  kept_[list] = std::move(fd);
  ++kept_count_;
}

std::vector<std::string> DpkgLists::Endings(std::string_view name) const {
  std::vector<std::string> endings{std::string(name) + '\n'};
  for (const auto& [from, diversion] : diversions_) {
    std::string ending = std::string(SplitPath(from).name) + '\n';
    if (SplitPath(diversion.to).name == name && ending.size() > 1 &&
        std::find(endings.begin(), endings.end(), ending) == endings.end())
      endings.push_back(std::move(ending));
  }
  return endings;
}

std::string_view DpkgLists::Land(std::string_view path, std::size_t list) const {
  // Most paths have a length no diverted one has: no hashing for those.
  if (path.size() >= diverted_sizes_.size() || !diverted_sizes_[path.size()]) return path;
  const auto diversion = diversions_.find(path);
  if (diversion == diversions_.end()) return path;
  // Another package's file, or any package's under a local diversion, was
  // moved away; the diverting package's own file stays where it is.
  const Diversion& moved = diversion->second;
  if (moved.package != ":" && moved.package == PackageOfList(lists_[list].name)) return path;
  return NamesFile(moved.to) ? std::string_view(moved.to) : std::string_view();
}

}  // namespace corvane::posix
