// Writing a table as a binary data packet: the header, then one record per presented row, a
// nested field's rows inside its parent's record.
#include <algorithm>

#include "db/dataset/binary_packet_encoder.h"
#include "db/dataset/packet.h"
#include "db/dataset/table.h"

namespace db {
namespace {

using namespace binary_packet;

class TableWriter {
 public:
  std::string write(const Table& t) {
    const std::vector<Layout> layout = layoutOf(t.fields(), {&t});
    encoder_.header(t.fields(), t.params(), layout, t.rowCount());
    writeRecords(t, layout);
    return std::move(encoder_.out().out());
  }

 private:
  // Length prefixes sized from the longest value of each field over all the tables given (a
  // nested field's over every parent row).
  static std::vector<Layout> layoutOf(const std::vector<FieldDef>& defs,
                                      const std::vector<const Table*>& tables) {
    std::vector<Layout> layout(defs.size());
    for (size_t f = 0; f < defs.size(); ++f) {
      const FieldDef& def = defs[f];
      if (def.type == FieldType::Nested) {
        std::vector<const Table*> children;
        for (const Table* t : tables) {
          for (const uint32_t slot : t->order()) {
            if (const Table* c = t->column(f).child(slot)) children.push_back(c);
          }
        }
        layout[f].children = layoutOf(def.children, children);
        continue;
      }
      size_t longest = 0;
      for (const Table* t : tables) {
        if (t->column(f).storage() != ColumnStore::Storage::Heap) break;
        for (const uint32_t slot : t->order()) {
          longest = std::max(longest, t->column(f).bytes(slot).size());
        }
      }
      layout[f].prefix = prefixFor(def, longest);
    }
    return layout;
  }

  void writeRecords(const Table& t, const std::vector<Layout>& layout) {
    ByteWriter& w = encoder_.out();
    const size_t n = t.fields().size();
    std::string flags((n * 2 + 7) / 8, '\0');
    for (const uint32_t slot : t.order()) {
      std::fill(flags.begin(), flags.end(), '\0');
      for (size_t f = 0; f < n; ++f) {
        if (t.column(f).isNull(slot)) {
          flags[f / 4] = static_cast<char>(flags[f / 4] | (kFlagNull << ((f % 4) * 2)));
        }
      }
      w.u8(0);
      w.bytes(flags);
      for (size_t f = 0; f < n; ++f) {
        if (!t.column(f).isNull(slot)) writeValue(t, layout[f], slot, f);
      }
    }
  }

  void writeValue(const Table& t, const Layout& lay, uint32_t slot, size_t f) {
    const FieldDef& def = t.fields()[f];
    const ColumnStore& c = t.column(f);
    if (def.type == FieldType::Nested) {
      const Table* child = c.child(slot);
      encoder_.out().u32(static_cast<uint32_t>(child->rowCount()));
      writeRecords(*child, lay.children);
      return;
    }
    const bool heap = c.storage() == ColumnStore::Storage::Heap;
    encoder_.value(def, lay.prefix, heap ? 0 : c.word(slot), c.bytes(slot));
  }

  Encoder encoder_;
};

}  // namespace

std::string writeBinaryPacket(const Table& table) { return TableWriter().write(table); }

}  // namespace db
