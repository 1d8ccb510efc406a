#pragma once

#include <string>
#include <string_view>

#include "db/embedded/translate/schema_info.h"
#include "db/embedded/translate/translation.h"

namespace db::embedded {

class ExpressionWriter;
struct TranslationContext;

// The statement forms that need more than expression translation; each fills `out`.
void translateIf(TranslationContext& ctx, ExpressionWriter& writer, Translation& out);
void translateSelect(TranslationContext& ctx, ExpressionWriter& writer, Translation& out);
void translateInsert(TranslationContext& ctx, ExpressionWriter& writer, Translation& out);
void translateCreate(TranslationContext& ctx, ExpressionWriter& writer, Translation& out);
void translateDrop(TranslationContext& ctx, Translation& out);
void translateAlter(TranslationContext& ctx, ExpressionWriter& writer, Translation& out);
void translateDbcc(TranslationContext& ctx, ExpressionWriter& writer, Translation& out);

}  // namespace db::embedded
