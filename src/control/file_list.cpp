#include "control/file_list.h"

std::vector<std::string> ReadFileList(std::istream& in, char separator) {
    std::vector<std::string> files;
    std::string entry;
    while (std::getline(in, entry, separator))
        if (!entry.empty()) files.push_back(entry);
    return files;
}

namespace {
// A decimal number without sign, spaces or overflow.
bool ParseCount(const std::string& text, std::size_t& value) {
    if (text.empty() || text.size() > 18) return false;
    value = 0;
    for (char ch : text) {
        if (ch < '0' || ch > '9') return false;
        value = value * 10 + static_cast<std::size_t>(ch - '0');
    }
    return true;
}
}  // namespace

bool ParseShard(const std::string& text, CShard& shard) {
    const std::size_t slash = text.find('/');
    if (slash == std::string::npos) return false;
    CShard parsed;
    if (!ParseCount(text.substr(0, slash), parsed.index) || !ParseCount(text.substr(slash + 1), parsed.count))
        return false;
    if (parsed.count == 0 || parsed.index >= parsed.count) return false;
    shard = parsed;
    return true;
}

std::vector<std::string> SelectShard(const std::vector<std::string>& files, const CShard& shard) {
    std::vector<std::string> part;
    if (shard.count == 0) return part;
    part.reserve(files.size() / shard.count + 1);
    for (std::size_t i = shard.index; i < files.size(); i += shard.count) part.push_back(files[i]);
    return part;
}
