#pragma once

#include <string>
#include <string_view>

#include "db/core/connection.h"
#include "download/services.h"
#include "outside/app_server.h"

namespace download {

// After the load, compares the newest local change dates of four tables with the central ones
// and logs any difference. Diagnostic only: nothing is changed, and a failed comparison is
// logged and the next one follows.
void sincronizaDatas(db::Connection& conn, outside::AppServer& server, const Services& services,
                     std::string_view cdFilial, std::string_view cdCaixa);

// "dd/mm/yyyy hh:nn:ss"; NULL is an empty text. Numbers are days since the zero date.
std::string dateTimeText(const db::Value& value);

}  // namespace download
