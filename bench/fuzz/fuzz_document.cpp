// Feeds arbitrary bytes to one family of document readers, chosen when the
// target is built (VELTO_FUZZ_FAMILY): the first byte picks the format
// within the family, the rest is the document.
#include "documentreader.h"

#include <QString>

#include <sys/mman.h>
#include <unistd.h>

namespace {

#define FAMILY_xmlzip 1
#define FAMILY_rtf 2
#define FAMILY_compound 3
#define FAMILY_pdf 4
#define FAMILY_OF(name) FAMILY_##name
#define FAMILY(name) FAMILY_OF(name)

struct Format
{
    const char *fileName;
    DocumentKind kind;
};

#if FAMILY(VELTO_FUZZ_FAMILY) == FAMILY_xmlzip
const Format formats[]
        = {{"input.docx", DocumentKind::WordXml},   {"input.xlsx", DocumentKind::SheetXml},
           {"input.pptx", DocumentKind::SlidesXml}, {"input.odt", DocumentKind::OpenDocument},
           {"input.epub", DocumentKind::Epub},      {"input.fods", DocumentKind::FlatOpenDocument}};
#elif FAMILY(VELTO_FUZZ_FAMILY) == FAMILY_rtf
const Format formats[] = {{"input.rtf", DocumentKind::Rtf}};
#elif FAMILY(VELTO_FUZZ_FAMILY) == FAMILY_compound
const Format formats[] = {{"input.doc", DocumentKind::Word97},
                          {"input.xls", DocumentKind::Excel97},
                          {"input.ppt", DocumentKind::PowerPoint97}};
#elif FAMILY(VELTO_FUZZ_FAMILY) == FAMILY_pdf
const Format formats[] = {{"input.pdf", DocumentKind::Pdf}};
#else
#error "VELTO_FUZZ_FAMILY is one of xmlzip, rtf, compound, pdf"
#endif

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const Format &format = formats[data[0] % (sizeof formats / sizeof formats[0])];
    // The document in memory: the readers need a descriptor, nothing of the
    // engine, so these targets build the document room alone.
    const int fd = memfd_create(format.fileName, MFD_CLOEXEC);
    if (fd < 0)
        return 0;
    if (write(fd, data + 1, size - 1) != ssize_t(size - 1) || lseek(fd, 0, SEEK_SET) != 0) {
        close(fd);
        return 0;
    }
    qint64 characters = 0;
    readDocument(fd, format.kind, QString::fromLatin1(format.fileName),
                 [&](const DocumentLine &line) {
                     characters += line.text.size();
                     return true;
                 });
    close(fd);
    return 0;
}
