#include "central/model/model.h"

namespace central {

// Generated at build time from model/central_model.json.
extern const char kEmbeddedModelJson[];
extern const size_t kEmbeddedModelJsonSize;

const Model& centralModel() {
  static const Model model = parseModel(
      std::string_view(kEmbeddedModelJson, kEmbeddedModelJsonSize), "embedded central_model.json");
  return model;
}

}  // namespace central
