#include "platform/posix/packages/dpkg/dpkg_database.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/platform.h"
#include "platform/posix/error_codes.h"
#include "platform/posix/packages/dpkg/list_reader.h"

namespace corvane::posix {
namespace {

constexpr std::string_view kListSuffix = ".md5sums";
constexpr std::size_t kDigestLength = 32;
// Descriptors left for everything else the process opens.
constexpr std::size_t kSpareDescriptors = 64;

// Bytes and no early exit, which the compiler turns into a few wide
// compares: isxdigit with an early exit made `corvane /l` and `corvane
// /usr/bin/*` 48-58% slower on this project's 2-core Debian 12 VM.
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

// Opens `name` in the directory `at` as *fd: 0; EACCES when no regular file
// (unless `known_regular`); or the errno. Not blocking, lest a pipe hang the run.
int OpenRegular(int at, const char* name, bool known_regular, UniqueFd* fd) {
  UniqueFd opened(openat(at, name, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  // A socket, or a device without its driver, cannot even be opened.
  if (!opened.valid()) return errno == ENXIO || errno == ENODEV ? EACCES : errno;
  struct stat status;
  if (!known_regular && fstat(opened.get(), &status) != 0) return errno;
  if (!known_regular && !S_ISREG(status.st_mode)) return EACCES;
  *fd = std::move(opened);
  return 0;
}

// The path the md5sums line `line` (without '\n') records, with one '/' in
// front written over the byte before; empty unless "<32 hex><2 spaces><path>".
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

// Whether the line `line` to `next` (past its '\n') ends in one of `names` as its last
// component: cheaper than parsing; a file no package has is answered in two thirds of the time.
bool EndsInName(const char* line, const char* next, std::span<const std::string> names) {
  for (const std::string& name : names) {
    if (static_cast<std::size_t>(next - line) <= name.size()) continue;
    const char* const start = next - name.size();
    if (std::memcmp(start, name.data(), name.size()) == 0 && (start[-1] == '/' || start[-1] == ' '))
      return true;
  }
  return false;
}

// The package whose list is the file `file_name`: without ".md5sums" and ":architecture".
std::string_view PackageOfList(std::string_view file_name) {
  file_name.remove_suffix(kListSuffix.size());
  return file_name.substr(0, file_name.find(':'));
}

}  // namespace

std::uint32_t DpkgDatabase::Walk(const VisitFile& visit, std::span<const std::string> names,
                                 bool keep, bool ahead) {
  // On the heap, as its slots are too large for a small stack.
  const auto reader = std::make_unique<ListReader>(
      lists_.size(), [this](std::size_t list, UniqueFd* fd) { return TakeList(list, fd); },
      keep ? ListReader::Done(
                 [this](std::size_t list, UniqueFd fd) { KeepList(list, std::move(fd)); })
           : nullptr,
      ahead);
  bool stopped = false;
  for (ListReader::Piece piece; !stopped && reader->Next(&piece);) {
    if (piece.failure != 0) return WindowsErrorFromErrno(piece.failure);
    for (char *line = piece.lines.data(), *end = line + piece.lines.size();
         !stopped && line < end;) {
      char* const next = static_cast<char*>(std::memchr(line, '\n', end - line)) + 1;
      const std::string_view path = names.empty() || EndsInName(line, next, names)
                                        ? RecordedPath(std::span<char>(line, next - 1))
                                        : std::string_view();
      line = next;
      if (path.empty() || path.find('\0') != std::string_view::npos) continue;
      if (const ListedPath at = SplitPath(Land(path, piece.list)); !at.name.empty())
        stopped = visit(at);
    }
  }
  // After a stop, every list not kept is opened (and kept, if it may be).
  for (std::size_t list = 0; stopped && list < lists_.size(); ++list) {
    UniqueFd fd;
    if (list < kept_.size() && kept_[list].valid()) continue;
    if (const int failure = TakeList(list, &fd); failure != 0 && failure != ENOENT)
      return WindowsErrorFromErrno(failure);
    if (keep && fd.valid()) KeepList(list, std::move(fd));
  }
  return kErrorSuccess;
}

std::uint32_t DpkgDatabase::OpenRecords() {
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
  errno = 0;
  for (const dirent* entry; (entry = readdir(stream.get())) != nullptr; errno = 0) {
    const std::string_view name = entry->d_name;
    if (name.size() > kListSuffix.size() && name.ends_with(kListSuffix))
      lists_.push_back(List{std::string(name), entry->d_type});
  }
  if (errno != 0) return WindowsErrorFromErrno(errno);
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur > 2 * kSpareDescriptors)
    keepable_ = std::min<rlim_t>(lists_.size(), limit.rlim_cur - kSpareDescriptors);
  return kErrorSuccess;
}

int DpkgDatabase::ReadDiversions() {
  UniqueFd fd;
  const int refused = OpenRegular(AT_FDCWD, (root_ + "/diversions").c_str(), false, &fd);
  if (refused != 0) return refused == ENOENT ? 0 : refused;
  // Three lines a diversion: the file, where it goes, and the package that
  // diverts it. The first for a file counts; one cut short makes all corrupt.
  const auto reader = std::make_unique<ListReader>(
      1, [&](std::size_t, UniqueFd* opened) { return *opened = std::move(fd), 0; });
  std::string fields[3];
  int filled = 0;
  for (ListReader::Piece piece; reader->Next(&piece);) {
    if (piece.failure != 0) return piece.failure;
    for (std::string_view rest(piece.lines.data(), piece.lines.size()); !rest.empty();) {
      const std::size_t end = rest.find('\n');
      fields[filled++].assign(rest.substr(0, end));
      rest.remove_prefix(end + 1);
      if (filled < 3) continue;
      filled = 0;
      diversions_.try_emplace(std::move(fields[0]),
                              Diversion{std::move(fields[1]), std::move(fields[2])});
    }
  }
  return filled != 0 || reader->supplied_last_line_end() ? EBADMSG : 0;
}

int DpkgDatabase::TakeList(std::size_t list, UniqueFd* fd) {
  if (list < kept_.size() && kept_[list].valid()) {
    *fd = std::move(kept_[list]);
    --kept_count_;
    return 0;
  }
  const unsigned char type = lists_[list].type;
  if (type != DT_REG && type != DT_LNK && type != DT_UNKNOWN) return EACCES;
  return OpenRegular(info_.get(), lists_[list].name.c_str(), type == DT_REG, fd);
}

void DpkgDatabase::KeepList(std::size_t list, UniqueFd fd) {
  if (kept_count_ >= keepable_) return;
  if (kept_.empty()) kept_.resize(lists_.size());
  kept_[list] = std::move(fd);
  ++kept_count_;
}

std::uint32_t DpkgDatabase::WalkRecords(RecordedFiles& files) {
  const auto add = [&](const ListedPath& file) { return files.Add(file), false; };
  return Walk(add, {}, /*keep=*/false, /*ahead=*/true);
}

std::uint32_t DpkgDatabase::SearchAlone(std::string_view, const ListedPath& asked,
                                        const VisitFile& visit) {
  return Walk(visit, Endings(asked.name), /*keep=*/true, /*ahead=*/false);
}

std::vector<std::string> DpkgDatabase::Endings(std::string_view name) const {
  std::vector<std::string> endings{std::string(name) + '\n'};
  for (const auto& [from, diversion] : diversions_) {
    std::string ending = std::string(SplitPath(from).name) + '\n';
    if (SplitPath(diversion.to).name == name && ending.size() > 1 &&
        std::find(endings.begin(), endings.end(), ending) == endings.end())
      endings.push_back(std::move(ending));
  }
  return endings;
}

std::string_view DpkgDatabase::Land(std::string_view path, std::size_t list) const {
  // Most paths have a length no diverted one has: not hashing those makes
  // `corvane /l` and `corvane /usr/bin/*` 13-16% faster on the 2-core Debian 12 VM.
  if (path.size() >= diverted_sizes_.size() || !diverted_sizes_[path.size()]) return path;
  const auto diversion = diversions_.find(path);
  if (diversion == diversions_.end()) return path;
  // Moved away, unless it is the diverting package's own (not under a local diversion).
  const Diversion& moved = diversion->second;
  if (moved.package != ":" && moved.package == PackageOfList(lists_[list].name)) return path;
  const bool names_file = moved.to.starts_with('/') && moved.to.find('\0') == std::string::npos;
  return names_file ? std::string_view(moved.to) : std::string_view();
}

}  // namespace corvane::posix
