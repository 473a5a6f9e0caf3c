#include "engine/repair_pass.h"

#include "engine/kept_copy_name.h"
#include "engine/stream_repair.h"
#include "engine/text_decoding.h"
#include "engine/text_repair.h"
#include "platform/file_reader.h"
#include "platform/file_replacer.h"

#include <utility>

namespace quillmend::engine {

namespace {

// A text that can be decoded only as a whole is repaired and written as a
// whole too, in one buffer.
ResultCode repairWhole(const platform::FileRef& target, bool anyFile, bool removeTabs, const YieldCallback& yield,
                       const platform::FileReplacer::KeptCopyNamer& keptCopyName)
{
    platform::FileContent content = target.readAll();
    const platform::FileIdentity identity = content.identity;
    QByteArray working = MakeUTF8(std::move(content.text)).bytes;
    if (working.isEmpty())
        return kResultEmpty;
    if (!anyFile && !IsFullExport(working))
        return kResultNotFullExport;
    // Decoding changed the bytes, so the file is rewritten in any case.
    RepairText(working, anyFile, removeTabs, true, yield);
    platform::FileReplacer(target, identity).replace(working, keptCopyName);
    return kResultDone;
}

} // namespace

ResultCode FNProcessTheFile(const std::optional<platform::FileRef>& file, bool anyFile, bool removeTabs,
                            const YieldCallback& yield)
{
    if (!file)
        return kResultEmpty;
    try {
        const platform::FileRef target = file->resolved();
        const QString name = target.name();
        platform::FileReplacer::KeptCopyNamer keptCopyName;
        if (!KeptCopyName(name, anyFile, 1).isEmpty())
            keptCopyName = [&](int attempt) { return KeptCopyName(name, anyFile, attempt); };

        {
            platform::FileReader reader(target);
            if (const std::optional<ResultCode> code
                = StreamRepair(reader, anyFile, removeTabs, yield).run(target, keptCopyName))
                return *code;
            if (const std::optional<platform::TextEncoding> encoding = SingleByteEncodingToStream(reader)) {
                if (const std::optional<ResultCode> code
                    = StreamRepair(reader, anyFile, removeTabs, yield, encoding).run(target, keptCopyName))
                    return *code;
            }
        }
        // UTF-16, and UTF-8 with stray bytes, are decoded as a whole.
        return repairWhole(target, anyFile, removeTabs, yield, keptCopyName);
    } catch (...) {
        // Whatever failed, the file is as it was: the user learns of it
        // through the result code alone.
        return kResultError;
    }
}

} // namespace quillmend::engine
