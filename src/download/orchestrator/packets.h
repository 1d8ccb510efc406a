#pragma once

#include <stdexcept>
#include <string_view>

#include "db/core/connection.h"
#include "db/core/value.h"
#include "download/orchestrator/handover_lists.h"

namespace download {

// A download reply that is not what the hand-over needs; what() says which position and why.
class ReplyError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The positions of the download reply, 0 to 302.
inline constexpr size_t kReplyPositions = 303;
inline constexpr size_t kSalesFirstPosition = 190;

// The rows of a query as a binary data packet, field types from the declared column types (or
// from the values where the engine declares none).
db::Bytes queryPacket(db::Connection& conn, std::string_view sql, const db::Params& params = {});

// Checks the whole reply before anything is handed over: an array of at least 303 positions,
// a data packet at every position the mode hands over and at the sales positions (which modes
// other than TABELAS and EXTRATOCONS may leave empty), and a text (or nothing) as the server's
// return text. A text reply is the server's error message. Raises
// ReplyError (outside::ServerError for the server's message); returns the positions.
const db::ValueArray& checkTabelasReply(const db::Value& result, const ModeHandOver& mode);

}  // namespace download
