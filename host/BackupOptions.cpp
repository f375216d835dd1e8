#include "host/BackupOptions.h"

#include <cstdio>
#include <cstdlib>

#include "base/RecorderTime.h"

namespace tevrano::host {

bool ParseRecorderTime(const std::string& text, uint32_t& seconds) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  char tail = 0;
  if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
      text[16] != ':')
    return false;
  for (size_t i = 0; i < text.size(); ++i)
    if (i != 4 && i != 7 && i != 10 && i != 13 && i != 16 && (text[i] < '0' || text[i] > '9'))
      return false;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &s, &tail) != 6)
    return false;
  if (y < 2000 || y > 2099 || mo < 1 || mo > 12 || d < 1 || d > ui::RecorderDaysInMonth(y, mo) ||
      h > 23 || mi > 59 || s > 59)
    return false;
  seconds = ui::PackRecorderTime(y, mo, d, h, mi, s);
  return true;
}

std::optional<BackupOptions> ParseBackupOptions(const std::optional<std::string>& channel,
                                                const std::optional<std::string>& from,
                                                const std::optional<std::string>& to,
                                                const std::optional<std::string>& out,
                                                std::string& error) {
  if (!channel && !from && !to && !out) return std::nullopt;
  if (!channel || !from || !to || !out) {
    error = "--backup, --from, --to and --out go together";
    return std::nullopt;
  }
  BackupOptions o;
  char* end = nullptr;
  const long ch = std::strtol(channel->c_str(), &end, 10);
  if (channel->empty() || *end != 0 || ch < 1 || ch > 16) {
    error = "--backup needs a camera number from 1 to 16";
    return std::nullopt;
  }
  o.channel = uint32_t(ch - 1);
  if (!ParseRecorderTime(*from, o.from)) {
    error = "--from needs a time as YYYY-MM-DDTHH:MM:SS";
    return std::nullopt;
  }
  if (!ParseRecorderTime(*to, o.to)) {
    error = "--to needs a time as YYYY-MM-DDTHH:MM:SS";
    return std::nullopt;
  }
  if (o.to <= o.from) {
    error = "--to must come after --from";
    return std::nullopt;
  }
  if (out->empty() || out->back() == '/') {
    error = "--out needs a file name";
    return std::nullopt;
  }
  o.out = *out;
  return o;
}

}  // namespace tevrano::host
