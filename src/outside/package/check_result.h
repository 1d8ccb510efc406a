#pragma once

#include <string_view>

#include "db/core/value.h"
#include "db/dataset/dataset.h"

namespace outside {

// Turns a remote method's result into client-dataset data: a data packet (bytes, or text
// holding a packet) fills `target`; anything else raises outside::ServerError naming the
// method. A packet that cannot be read raises db::PacketError.
void CheckResultServ(const db::Value& result, db::DataSet& target, std::string_view method);

// Sets the current row's empty text fields to null; the dataset must be in Edit or Insert.
void Seta_Campo_Null(db::DataSet& dataSet);

}  // namespace outside
