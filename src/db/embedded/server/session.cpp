#include "db/embedded/server/session.h"

#include <map>
#include <mutex>

namespace db::embedded::server {
namespace {

// SQL Server numbers user sessions above 50.
constexpr int64_t kFirstSpid = 51;

struct Registry {
  std::mutex mutex;
  int64_t next = kFirstSpid;
  std::map<int64_t, std::weak_ptr<Session>> sessions;
};

Registry& registry() {
  static Registry instance;
  return instance;
}

}  // namespace

std::shared_ptr<Session> openSession(Session facts) {
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  facts.spid = r.next++;
  const int64_t spid = facts.spid;
  std::shared_ptr<Session> session(new Session(std::move(facts)), [](Session* s) {
    Registry& reg = registry();
    {
      std::lock_guard done(reg.mutex);
      reg.sessions.erase(s->spid);
    }
    delete s;
  });
  r.sessions[spid] = session;
  return session;
}

std::optional<std::string> inputBufferOf(int64_t spid) {
  Registry& r = registry();
  // Released only after the lock: dropping the last reference takes the lock itself.
  std::shared_ptr<Session> session;
  std::lock_guard lock(r.mutex);
  auto it = r.sessions.find(spid);
  if (it == r.sessions.end()) return std::nullopt;
  session = it->second.lock();
  if (!session) return std::nullopt;
  return session->inputBuffer;
}

ClientCall::ClientCall(Session& session, std::string_view text) : session_(session) {
  // Only this connection writes its buffer, so it may compare without the lock; a statement run
  // in a loop sends the same text each time and costs no more than the comparison.
  if (session_.clientDepth++ == 0 && session_.inputBuffer != text) {
    std::lock_guard lock(registry().mutex);
    session_.inputBuffer.assign(text);
  }
}

ClientCall::~ClientCall() { --session_.clientDepth; }

}  // namespace db::embedded::server
