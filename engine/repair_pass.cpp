#include "engine/repair_pass.h"

#include "engine/kept_copy_name.h"
#include "engine/text_decoding.h"
#include "engine/text_repair.h"
#include "platform/file_replacer.h"

#include <utility>

namespace quillmend::engine {

ResultCode FNProcessTheFile(const std::optional<platform::FileRef>& file, bool anyFile, bool removeTabs,
                            const YieldCallback& yield)
{
    if (!file)
        return kResultEmpty;
    try {
        const platform::FileRef target = file->resolved();
        platform::FileContent content = target.readAll();

        // The working text must own its bytes alone, or the first in-place
        // edit would copy them: the raw text is let go once it is decoded.
        QByteArray working = MakeUTF8(content.text).bytes;
        const bool decodingKeptBytes
            = working.constData() == content.text.bytes.constData() || working == content.text.bytes;
        content.text.bytes = QByteArray();

        if (working.isEmpty())
            return kResultEmpty;
        if (!anyFile && !IsFullExport(working))
            return kResultNotFullExport;

        const qsizetype removed = RemoveControlCharacters(working, removeTabs, yield);
        const qsizetype rewritten = anyFile ? 0 : RewriteAppStamps(working);
        if (decodingKeptBytes && removed == 0 && rewritten == 0)
            return kResultUnchanged;
        DeclareUtf8(working);

        const QString name = target.name();
        platform::FileReplacer::KeptCopyNamer keptCopyName;
        if (!KeptCopyName(name, anyFile, 1).isEmpty())
            keptCopyName = [&](int attempt) { return KeptCopyName(name, anyFile, attempt); };
        platform::FileReplacer(target, content.identity).replace(working, keptCopyName);
        return kResultDone;
    } catch (...) {
        // Whatever failed, the file is as it was: the user learns of it
        // through the result code alone.
        return kResultError;
    }
}

} // namespace quillmend::engine
