#pragma once

#include <stdexcept>
#include <string>

namespace download {

// A failed local write that names the query component it went through, so the load can report
// "Componente :" + name + " - Erro : " + message.
class ComponentError : public std::runtime_error {
 public:
  ComponentError(std::string component, const std::string& message)
      : std::runtime_error(message), component_(std::move(component)) {}
  const std::string& component() const { return component_; }

 private:
  std::string component_;
};

}  // namespace download
