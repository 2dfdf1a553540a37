#include "documentmodule.h"

#include <QFile>
#include <QFileInfo>

#include <dlfcn.h>

namespace {

#define VELTO_NAME_OF(symbol) #symbol
#define VELTO_STRING(symbol) VELTO_NAME_OF(symbol)

struct LoadedModule
{
    QString path;
    ReadDocumentFunction read = nullptr;
    QString problem;  // why `read` is null
};

QString besideProgram()
{
    return QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).absolutePath()
            + QStringLiteral("/velto-documents.so");
}

LoadedModule load()
{
    LoadedModule module;
    module.path = besideProgram();
    if (!QFileInfo::exists(module.path))
        module.path = QStringLiteral(VELTO_DOCUMENT_MODULE);
    // Never closed: the readers' libraries keep state (GLib's types) to the end.
    void *handle = ::dlopen(QFile::encodeName(module.path).constData(), RTLD_NOW | RTLD_LOCAL);
    const auto entry = handle ? reinterpret_cast<DocumentEntryFunction>(
                               ::dlsym(handle, VELTO_STRING(VELTO_DOCUMENT_ENTRY)))
                              : nullptr;
    module.read = entry ? entry() : nullptr;
    if (!module.read) {
        const char *why = ::dlerror();
        module.problem = why ? QString::fromLocal8Bit(why)
                             : module.path + QStringLiteral(" is not the document readers' module");
        module.path.clear();
    }
    return module;
}

const LoadedModule &loadedModule()
{
    static const LoadedModule module = load();
    return module;
}

}  // namespace

QString documentModulePath(QString *problem)
{
    const LoadedModule &module = loadedModule();
    if (problem)
        *problem = module.problem;
    return module.path;
}

DocumentOutcome readDocumentThroughModule(int fd, DocumentKind kind, const QString &name,
                                          const DocumentLineConsumer &consume,
                                          const std::atomic_bool *stop)
{
    const LoadedModule &module = loadedModule();
    if (module.read)
        return module.read(fd, kind, name, consume, stop);
    DocumentOutcome outcome;
    outcome.status = DocumentOutcome::Status::Failed;
    outcome.diagnostic = QStringLiteral("%1 cannot be read: the document readers are missing (%2)")
                                 .arg(name, module.problem);
    return outcome;
}
