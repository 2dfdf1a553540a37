#include "compounddocument.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-input.h>
#include <gsf/gsf-utils.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>

qint64 CompoundStream::size() const
{
    return qint64(gsf_input_size(input));
}

bool CompoundStream::readAt(qint64 offset, char *target, qint64 n)
{
    if (offset < 0 || n < 0 || offset + n > size())
        return false;
    if (n == 0)
        return true;
    return !gsf_input_seek(input, gsf_off_t(offset), G_SEEK_SET)
            && gsf_input_read(input, size_t(n), reinterpret_cast<guint8 *>(target)) != nullptr;
}

namespace {

struct GObjectRelease
{
    void operator()(void *object) const { g_object_unref(object); }
};

template<typename T> using GObjectPtr = std::unique_ptr<T, GObjectRelease>;

class GsfStreams : public CompoundStreams
{
public:
    explicit GsfStreams(GsfInfile *file) : file(file) { }

    CompoundStream *stream(const char *name) override
    {
        auto it = streams.find(name);
        if (it == streams.end()) {
            GsfInput *input = gsf_infile_child_by_name(file, name);
            // a storage (folder) of the same name is no stream
            if (input && GSF_IS_INFILE(input) && gsf_infile_num_children(GSF_INFILE(input)) >= 0) {
                g_object_unref(input);
                input = nullptr;
            }
            it = streams.emplace(name,
                                 Entry {GObjectPtr<GsfInput>(input),
                                        std::make_unique<CompoundStream>(input)})
                         .first;
        }
        return it->second.input ? it->second.stream.get() : nullptr;
    }

private:
    struct Entry
    {
        GObjectPtr<GsfInput> input;
        std::unique_ptr<CompoundStream> stream;
    };
    GsfInfile *file;
    std::map<std::string, Entry> streams;
};

}  // namespace

DocumentProblem readCompoundDocument(int fd, DocumentKind kind, DocumentLines &lines)
{
    static std::once_flag once;
    std::call_once(once, [] {
        gsf_init();
        // libgsf's complaints about a damaged file are told by the outcome.
        for (const char *domain : {"libgsf", "libgsf:msole"})
            g_log_set_handler(
                    domain, GLogLevelFlags(G_LOG_LEVEL_MASK),
                    [](const gchar *, GLogLevelFlags, const gchar *, gpointer) {}, nullptr);
    });
    // libgsf opens files by name; the descriptor's name keeps the file the
    // caller checked.
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    GObjectPtr<GsfInput> input(gsf_input_stdio_new(path.c_str(), nullptr));
    if (!input)
        return DocumentProblem::damaged(QStringLiteral("the file cannot be read"));
    GObjectPtr<GsfInfile> file(gsf_infile_msole_new(input.get(), nullptr));
    if (!file)
        return DocumentProblem::damaged(QStringLiteral("its compound file structure is damaged"));
    GsfStreams streams(file.get());
    if (streams.stream("EncryptedPackage"))
        return DocumentProblem::encrypted();
    switch (kind) {
    case DocumentKind::Word97:
        return readWord97(streams, lines);
    case DocumentKind::Excel97:
        return readExcel97(streams, lines);
    case DocumentKind::PowerPoint97:
        return readPowerPoint97(streams, lines);
    default:
        return DocumentProblem();
    }
}
