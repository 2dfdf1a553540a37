#include "rarerrors.h"

#include "diagnostics.h"

void reportRarError(RarResult result, const QByteArray &archivePath, RarContext context)
{
    const char *const path = archivePath.constData();
    switch (result) {
    case RarResult::NoMemory:
        diagnostic("\nNot enough memory");
        break;
    case RarResult::BadData:
        diagnostic("\n%s: archive header or data are damaged", path);
        break;
    case RarResult::BadArchive:
        reportNotArchive(archivePath, "RAR");
        break;
    case RarResult::UnknownFormat:
        diagnostic("Unknown archive format");
        break;
    case RarResult::OpenError:
        if (context == RarContext::Process)
            diagnostic("Volume open error");
        else
            diagnostic("\nCannot open %s", path);
        break;
    case RarResult::CreateError:
        diagnostic("File create error");
        break;
    case RarResult::CloseError:
        diagnostic("File close error");
        break;
    case RarResult::ReadError:
        diagnostic("Read error");
        break;
    case RarResult::WriteError:
        diagnostic("Write error");
        break;
    case RarResult::SmallBuffer:
        diagnostic("Buffer for archive comment is too small, comment truncated");
        break;
    case RarResult::Unknown:
        diagnostic("Unknown error");
        break;
    case RarResult::MissingPassword:
        diagnostic("Password for encrypted file or header is not specified");
        break;
    case RarResult::Success:
    case RarResult::EndArchive:
        break;
    }
}

void reportPasswordRequest()
{
    diagnostic("\nPassword required: ");
}

void reportMissingVolume(const QByteArray &volumePath)
{
    diagnostic("\n\nVolume %s is required\nPossible options:\n", volumePath.constData());
    diagnostic("\nEnter - try again");
    diagnostic("\n'R'   - specify a new volume name");
    diagnostic("\n'Q'   - quit");
    diagnostic("\nEnter your choice: ");
}

void reportNextVolume(const QByteArray &volumePath)
{
    diagnostic("\n  ... volume %s\n", volumePath.constData());
}

void reportNotArchive(const QByteArray &archivePath, const char *formatName)
{
    diagnostic("\n%s is not %s archive", archivePath.constData(), formatName);
}
