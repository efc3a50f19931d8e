#include "products/ftp_client.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

namespace orvanta::ftp {
namespace {

struct CurlCleanup {
  void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
struct SlistCleanup {
  void operator()(curl_slist* s) const { curl_slist_free_all(s); }
};
struct UrlCleanup {
  void operator()(CURLU* u) const { curl_url_cleanup(u); }
};
struct FileClose {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using CurlHandle = std::unique_ptr<CURL, CurlCleanup>;
using Slist = std::unique_ptr<curl_slist, SlistCleanup>;
using UrlHandle = std::unique_ptr<CURLU, UrlCleanup>;
using File = std::unique_ptr<std::FILE, FileClose>;

// libcurl's global set-up is not safe to race; the uploader runs on the live thread and
// "Clear" on the GUI thread.
void GlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool HasLineBreak(std::string_view s) {
  return s.find_first_of("\r\n") != std::string_view::npos;
}

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

// The host part as curl wants it: without a typed "ftp://" or trailing '/', IPv6 in brackets.
std::string HostPart(std::string server) {
  auto not_space = [](unsigned char c) { return c != ' ' && c != '\t'; };
  server.erase(server.begin(), std::find_if(server.begin(), server.end(), not_space));
  server.erase(std::find_if(server.rbegin(), server.rend(), not_space).base(), server.end());
  std::string lower = server.substr(0, 6);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (lower == "ftp://") server.erase(0, 6);
  while (!server.empty() && server.back() == '/') server.pop_back();
  if (server.find(':') != std::string::npos && server.front() != '[') server = "[" + server + "]";
  return server;
}

// Builds "ftp://host:port/<path>" through curl's URL parser, so that a host text holding
// '/', '@' or spaces is refused instead of changing the meaning of the URL.
std::optional<std::string> BuildUrl(const FtpEndpoint& endpoint, const std::string& file,
                                    std::string* error) {
  if (endpoint.port < 1 || endpoint.port > 65535) {
    *error = "bad port " + std::to_string(endpoint.port);
    return std::nullopt;
  }
  UrlHandle url(curl_url());
  if (!url) {
    *error = "out of memory";
    return std::nullopt;
  }
  const std::string host = HostPart(endpoint.server);
  const std::string port = std::to_string(endpoint.port);
  const std::string path = "/" + file;
  CURLUcode rc = curl_url_set(url.get(), CURLUPART_SCHEME, "ftp", 0);
  if (rc == CURLUE_OK) rc = curl_url_set(url.get(), CURLUPART_HOST, host.c_str(), 0);
  if (rc == CURLUE_OK) rc = curl_url_set(url.get(), CURLUPART_PORT, port.c_str(), 0);
  if (rc == CURLUE_OK) rc = curl_url_set(url.get(), CURLUPART_PATH, path.c_str(), CURLU_URLENCODE);
  char* text = nullptr;
  if (rc == CURLUE_OK) rc = curl_url_get(url.get(), CURLUPART_URL, &text, 0);
  if (rc != CURLUE_OK) {
    *error = std::string(curl_url_strerror(rc)) + " (" + endpoint.server + ")";
    return std::nullopt;
  }
  std::string result(text);
  curl_free(text);
  return result;
}

// Follows the commands curl sends, so that a failure (a time-out above all) can be placed in
// the stage it happened in.
int TrackStage(CURL*, curl_infotype type, char* data, size_t size, void* user) {
  if (type != CURLINFO_HEADER_OUT) return 0;
  auto* stage = static_cast<FtpStage*>(user);
  const std::string_view line(data, size);
  static constexpr std::string_view kLogin[] = {"USER", "PASS", "ACCT", "PWD",
                                                "AUTH", "PBSZ", "PROT", "SYST"};
  FtpStage seen = FtpStage::Transfer;
  if (StartsWith(line, "CWD")) {
    seen = FtpStage::Directory;
  } else {
    for (std::string_view word : kLogin) {
      if (StartsWith(line, word)) seen = FtpStage::Connect;
    }
  }
  *stage = std::max(*stage, seen);
  return 0;
}

size_t CollectText(char* data, size_t size, size_t count, void* user) {
  static_cast<std::string*>(user)->append(data, size * count);
  return size * count;
}

// One exchange on its own connection, with every bound and the stage tracking in place.
class Exchange {
 public:
  Exchange(const FtpEndpoint& endpoint, const FtpTimeouts& timeouts) {
    GlobalInit();
    curl_.reset(curl_easy_init());
    if (!curl_) return;
    CURL* c = curl_.get();
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, error_);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, timeouts.connect_ms);
    curl_easy_setopt(c, CURLOPT_SERVER_RESPONSE_TIMEOUT,
                     std::max(1L, (timeouts.response_ms + 999) / 1000));
    curl_easy_setopt(c, CURLOPT_ACCEPTTIMEOUT_MS, timeouts.accept_ms);
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, timeouts.total_ms);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, timeouts.low_speed_bytes_per_s);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, std::max(1L, timeouts.low_speed_ms / 1000));
    curl_easy_setopt(c, CURLOPT_FORBID_REUSE, 1L);
    if (!endpoint.user.empty()) {
      curl_easy_setopt(c, CURLOPT_USERNAME, endpoint.user.c_str());
      curl_easy_setopt(c, CURLOPT_PASSWORD, endpoint.password.c_str());
    }
    // Active mode: the server connects back to the address of the control connection.
    curl_easy_setopt(c, CURLOPT_FTPPORT, endpoint.passive ? nullptr : "-");
    curl_easy_setopt(c, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(c, CURLOPT_DEBUGFUNCTION, TrackStage);
    curl_easy_setopt(c, CURLOPT_DEBUGDATA, &stage_);
  }

  CURL* get() const { return curl_.get(); }

  void SetCommands(const std::vector<std::string>& commands) {
    curl_slist* list = nullptr;
    for (const std::string& command : commands) list = curl_slist_append(list, command.c_str());
    commands_.reset(list);
    curl_easy_setopt(curl_.get(), CURLOPT_QUOTE, commands_.get());
  }

  std::optional<FtpFailure> Perform(const std::string& url) {
    curl_easy_setopt(curl_.get(), CURLOPT_URL, url.c_str());
    stage_ = FtpStage::Connect;
    error_[0] = '\0';
    const CURLcode rc = curl_easy_perform(curl_.get());
    if (rc == CURLE_OK) return std::nullopt;
    FtpStage stage = stage_;
    switch (rc) {
      case CURLE_QUOTE_ERROR:
        stage = FtpStage::Directory;
        break;
      case CURLE_URL_MALFORMAT:
      case CURLE_COULDNT_RESOLVE_HOST:
      case CURLE_COULDNT_RESOLVE_PROXY:
      case CURLE_COULDNT_CONNECT:
      case CURLE_LOGIN_DENIED:
        stage = FtpStage::Connect;
        break;
      default:
        break;
    }
    return FtpFailure{stage, error_[0] != '\0' ? std::string(error_) : curl_easy_strerror(rc)};
  }

 private:
  CurlHandle curl_;
  Slist commands_;
  FtpStage stage_ = FtpStage::Connect;
  char error_[CURL_ERROR_SIZE] = {};
};

std::optional<FtpFailure> NoSession() {
  return FtpFailure{FtpStage::Session, "cannot start the FTP client"};
}

}  // namespace

std::optional<FtpFailure> PutFile(const FtpEndpoint& endpoint, const std::string& dir,
                                  const std::string& local_path, const std::string& remote_name,
                                  const FtpTimeouts& timeouts) {
  Exchange exchange(endpoint, timeouts);
  if (!exchange.get()) return NoSession();
  std::string error;
  const std::optional<std::string> url = BuildUrl(endpoint, remote_name, &error);
  if (!url) return FtpFailure{FtpStage::Connect, error};
  // A line break in the directory would smuggle further commands onto the control connection.
  if (HasLineBreak(dir)) return FtpFailure{FtpStage::Directory, "bad directory name"};
  File file(std::fopen(local_path.c_str(), "rb"));
  if (!file) return FtpFailure{FtpStage::Transfer, "cannot read " + local_path};
  if (std::fseek(file.get(), 0, SEEK_END) != 0) {
    return FtpFailure{FtpStage::Transfer, "cannot read " + local_path};
  }
  const long size = std::ftell(file.get());
  std::rewind(file.get());
  if (size < 0) return FtpFailure{FtpStage::Transfer, "cannot read " + local_path};

  CURL* c = exchange.get();
  if (!dir.empty()) exchange.SetCommands({"CWD " + dir});
  curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(c, CURLOPT_READDATA, file.get());
  curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(size));
  curl_easy_setopt(c, CURLOPT_TRANSFERTEXT, 0L);
  return exchange.Perform(*url);
}

std::optional<FtpFailure> DeleteByPrefix(const FtpEndpoint& endpoint, const std::string& dir,
                                         const std::string& prefix, const FtpTimeouts& timeouts) {
  std::string error;
  const std::optional<std::string> url = BuildUrl(endpoint, "", &error);
  if (!url) return FtpFailure{FtpStage::Connect, error};
  if (HasLineBreak(dir)) return FtpFailure{FtpStage::Directory, "bad directory name"};
  // A directory that cannot be entered ends the exchange: going on would delete the files of
  // the log-in directory instead.
  std::vector<std::string> commands;
  if (!dir.empty()) commands.push_back("CWD " + dir);

  std::string listing;
  {
    Exchange exchange(endpoint, timeouts);
    if (!exchange.get()) return NoSession();
    exchange.SetCommands(commands);
    curl_easy_setopt(exchange.get(), CURLOPT_DIRLISTONLY, 1L);
    curl_easy_setopt(exchange.get(), CURLOPT_WRITEFUNCTION, CollectText);
    curl_easy_setopt(exchange.get(), CURLOPT_WRITEDATA, &listing);
    if (auto failure = exchange.Perform(*url)) return failure;
  }

  const size_t directory_commands = commands.size();
  size_t start = 0;
  while (start < listing.size()) {
    size_t end = listing.find('\n', start);
    if (end == std::string::npos) end = listing.size();
    std::string name = listing.substr(start, end - start);
    start = end + 1;
    if (!name.empty() && name.back() == '\r') name.pop_back();
    // Some servers answer NLST with paths; the file name is what the prefix applies to.
    const size_t slash = name.rfind('/');
    if (slash != std::string::npos) name.erase(0, slash + 1);
    if (StartsWith(name, prefix) && !HasLineBreak(name)) commands.push_back("*DELE " + name);
  }
  if (commands.size() == directory_commands) return std::nullopt;

  // A new connection, so that it starts from the log-in directory like the listing did.
  Exchange exchange(endpoint, timeouts);
  if (!exchange.get()) return NoSession();
  exchange.SetCommands(commands);
  curl_easy_setopt(exchange.get(), CURLOPT_NOBODY, 1L);
  return exchange.Perform(*url);
}

}  // namespace orvanta::ftp
