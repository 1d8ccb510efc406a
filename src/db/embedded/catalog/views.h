#pragma once

#include <string>
#include <string_view>
#include <vector>

// The server's catalogue views, computed from SQLite's schema and the engine's metadata.
namespace db::embedded::catalog {

struct CatalogView {
  std::vector<std::string_view> names;  // catalogue names it answers to, lower case
  std::string_view view;                // the TEMP view's name
  std::string_view select;              // its SELECT
};

// The views in creation order (later ones build on earlier ones).
const std::vector<CatalogView>& catalogViews();

// The SELECT of the server's type list, generated from the type table.
std::string systemTypesSelect();

}  // namespace db::embedded::catalog
