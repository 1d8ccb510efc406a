#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// What the server knows about one connection: its number (@@SPID), the names it gave when it
// connected, its database, and the text its client last sent (DBCC INPUTBUFFER).
namespace db::embedded::server {

struct Session {
  int64_t spid = 0;
  std::string user = {};
  std::string hostName = {};          // HOST_NAME()
  std::string applicationName = {};   // APP_NAME()
  std::string database = {};          // DB_NAME()
  std::filesystem::path folder = {};  // the server folder; empty for a private in-memory database
  std::string inputBuffer = {};       // the outermost text the client last sent
  int clientDepth = 0;  // calls of the client running now (inner ones are not recorded)
  std::optional<int64_t> lastIdentity = {};  // SCOPE_IDENTITY()
};

// Creates a session with a fresh number and lists it, so that other connections of the process
// can ask for its input buffer; it leaves the list when the last reference goes.
std::shared_ptr<Session> openSession(Session facts);

// The input buffer of session `spid` of this process; nothing when there is no such session.
std::optional<std::string> inputBufferOf(int64_t spid);

// Marks one call of the client for the length of a scope: the outermost one records its text.
class ClientCall {
 public:
  ClientCall(Session& session, std::string_view text);
  ~ClientCall();
  ClientCall(const ClientCall&) = delete;
  ClientCall& operator=(const ClientCall&) = delete;

 private:
  Session& session_;
};

}  // namespace db::embedded::server
