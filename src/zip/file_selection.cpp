#include "zip/file_selection.h"

#include <unicode/utf8.h>

#include <algorithm>
#include <set>

#include "platform/platform.h"
#include "platform/unicode_case.h"
#include "platform/zip_platform.h"

namespace kalvex {

namespace {

bool HasWildcard(const std::string& text) { return text.find_first_of("*?") != std::string::npos; }

std::string Slashes(std::string text) {
  std::replace(text.begin(), text.end(), '\\', '/');
  return text;
}

// "C:/a", "/a", "./a" written as "a": archive names never start at a root.
std::string StripRoot(std::string name) {
  if (name.size() >= 2 && name[1] == ':') name.erase(0, 2);
  while (true) {
    if (!name.empty() && name[0] == '/') {
      name.erase(0, 1);
    } else if (name.rfind("./", 0) == 0) {
      name.erase(0, 2);
    } else {
      break;
    }
  }
  return name;
}

std::string Join(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

class Selector {
 public:
  Selector(const SelectionOptions& options) : options_(options) {
    if (!options.root_dir.empty()) {
      std::string native = platform::NativePath(options.root_dir);
      if (platform::DirectoryExists(native)) {
        root_native_ = platform::NormalPath(native);
        while (root_native_.size() > 1 && root_native_.back() == '/') root_native_.pop_back();
      }
    }
  }

  void Add(const std::string& spec) {
    // An empty specification names nothing: not the current folder, nor RootDir.
    if (spec.empty()) return;
    std::string written = Slashes(spec);
    std::string native;
    if (!written.empty() && written[0] == '/') {
      native = platform::NativePath(spec);
    } else if (!root_native_.empty()) {
      native = platform::NativePath(Join(root_native_, written));
    } else {
      native = platform::NativePath(spec);
    }
    size_t slash = native.find_last_of('/');
    std::string folder = slash == std::string::npos ? "." : native.substr(0, slash + 1);
    std::string last = slash == std::string::npos ? native : native.substr(slash + 1);
    size_t written_slash = written.find_last_of('/');
    std::string written_folder =
        written_slash == std::string::npos ? std::string() : written.substr(0, written_slash);

    if (HasWildcard(last)) {
      Walk(folder, written_folder, "", last);
    } else if (!last.empty() && platform::DirectoryExists(native)) {
      Walk(native, Slashes(written), "", "*");
    } else if (last.empty()) {
      Walk(folder, written_folder, "", "*");
    } else {
      std::optional<zip_platform::FolderEntry> entry = zip_platform::LookUp(native);
      if (entry && entry->regular_file) AddFile(folder, written_folder, "", *entry);
    }
  }

  Selection Take() {
    if (options_.folder_entries && KeepsFolders()) {
      for (const SelectedFile& file : result_.files) {
        for (size_t pos = file.entry_name.find('/'); pos != std::string::npos;
             pos = file.entry_name.find('/', pos + 1)) {
          AddFolder(file.entry_name.substr(0, pos + 1));
        }
      }
    }
    std::sort(result_.folders.begin(), result_.folders.end());
    return std::move(result_);
  }

 private:
  bool KeepsFolders() const { return options_.recurse || options_.relative_to_root; }

  std::string EntryName(const std::string& folder, const std::string& written_folder,
                        const std::string& relative) {
    if (!KeepsFolders()) {
      size_t slash = relative.find_last_of('/');
      return slash == std::string::npos ? relative : relative.substr(slash + 1);
    }
    if (options_.relative_to_root && !root_native_.empty()) {
      std::string text = platform::AbsolutePath(Join(folder, relative));
      std::string prefix = root_native_ == "/" ? root_native_ : root_native_ + "/";
      if (text.rfind(prefix, 0) == 0) return text.substr(prefix.size());
    }
    return StripRoot(platform::NormalPath(Join(written_folder, relative)));
  }

  void AddFile(const std::string& folder, const std::string& written_folder,
               const std::string& relative_folder, const zip_platform::FolderEntry& entry) {
    SelectedFile file;
    file.path = Join(folder, relative_folder + entry.name);
    file.entry_name = EntryName(folder, written_folder, relative_folder + entry.name);
    file.size = entry.size;
    file.mtime = entry.mtime;
    if (!names_.insert(file.entry_name).second) {
      ++result_.duplicates;
      return;
    }
    result_.files.push_back(std::move(file));
  }

  void AddFolder(const std::string& entry_name) {
    if (entry_name.empty() || entry_name == "/") return;
    if (folder_names_.insert(entry_name).second) result_.folders.push_back(entry_name);
  }

  void Walk(const std::string& folder, const std::string& written_folder,
            const std::string& relative_folder, const std::string& pattern) {
    std::vector<std::string> folders;
    for (const zip_platform::FolderEntry& entry :
         zip_platform::ListFolder(Join(folder, relative_folder))) {
      if (entry.hidden && !options_.hidden) continue;
      if (entry.regular_file) {
        if (MatchesPattern(entry.name, pattern)) {
          AddFile(folder, written_folder, relative_folder, entry);
        }
      } else if (entry.folder) {
        folders.push_back(entry.name);
      }
    }
    if (!options_.recurse) return;
    for (const std::string& name : folders) {
      std::string relative = relative_folder + name + "/";
      if (options_.folder_entries) AddFolder(EntryName(folder, written_folder, relative));
      Walk(folder, written_folder, relative, pattern);
    }
  }

  const SelectionOptions& options_;
  std::string root_native_;
  Selection result_;
  std::set<std::string> names_;
  std::set<std::string> folder_names_;
};

}  // namespace

bool MatchesPattern(const std::string& name, const std::string& pattern) {
  auto code_points = [](const std::string& text) {
    std::string upper = UpperCaseUnicode(text);
    std::vector<int32_t> out;
    const auto* s = reinterpret_cast<const uint8_t*>(upper.data());
    int32_t length = static_cast<int32_t>(upper.size());
    for (int32_t i = 0; i < length;) {
      int32_t start = i;
      UChar32 c;
      U8_NEXT(s, i, length, c);
      out.push_back(c >= 0 ? c : -1 - s[start]);  // a stray byte stands for itself
    }
    return out;
  };
  // "*" any run of characters, "?" one character; letter case ignored.
  auto matches = [](const std::vector<int32_t>& n, const std::vector<int32_t>& p) {
    size_t ni = 0, pi = 0, star = std::string::npos, resume = 0;
    while (ni < n.size()) {
      if (pi < p.size() && (p[pi] == '?' || (p[pi] != '*' && p[pi] == n[ni]))) {
        ++ni;
        ++pi;
      } else if (pi < p.size() && p[pi] == '*') {
        star = pi++;
        resume = ni;
      } else if (star != std::string::npos) {
        pi = star + 1;
        ni = ++resume;
      } else {
        return false;
      }
    }
    while (pi < p.size() && p[pi] == '*') ++pi;
    return pi == p.size();
  };
  std::vector<int32_t> n = code_points(name);
  std::vector<int32_t> p = code_points(pattern);
  if (matches(n, p)) return true;
  // "name.*" also matches a name without any dot.
  return p.size() >= 2 && p[p.size() - 2] == '.' && p.back() == '*' &&
         std::find(n.begin(), n.end(), '.') == n.end() &&
         matches(n, std::vector<int32_t>(p.begin(), p.end() - 2));
}

Selection SelectFiles(const std::vector<std::string>& specs, const SelectionOptions& options) {
  Selector selector(options);
  for (const std::string& spec : specs) selector.Add(spec);
  return selector.Take();
}

}  // namespace kalvex
