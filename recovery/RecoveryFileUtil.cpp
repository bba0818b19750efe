#include "recovery/RecoveryFileUtil.h"

#include "recovery/CRCGenerator.h"
#include "recovery/DurableFileWriter.h"
#include "recovery/RecoveryCalendar.h"
#include "recovery/RecoveryFileName.h"
#include "recovery/RecoveryLog.h"
#include "recovery/RecoveryRefusedAtExit.h"

#include "foundation/ExitAwaitedWork.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace ect {
namespace {

const char* const closedDateFormat = "%Y%m%d%H%M%S";
const char* const exportDateFormat = "%Y%m%d";
const char* const storedDateFormat = "%Y-%m-%dT%H:%M:%S";

QString text(const std::string& value)
{
    return QString::fromStdString(value);
}

const QLatin1String encodingAttribute("encoding");
const QLatin1String hexEncoding("hex");

// Text an XML file can't carry as it is lies there in hexadecimal, marked so.
std::string readText(QXmlStreamReader& xml)
{
    const bool hex = xml.attributes().value(encodingAttribute) == hexEncoding;
    const QString value = xml.readElementText();
    return hex ? QByteArray::fromHex(value.toLatin1()).toStdString() : value.toStdString();
}

void writeText(QXmlStreamWriter& xml, const QString& name, const std::string& value)
{
    xml.writeStartElement(name);
    if (RecoveryFileUtil::isStorableText(value)) {
        xml.writeCharacters(text(value));
    } else {
        xml.writeAttribute(encodingAttribute, hexEncoding);
        xml.writeCharacters(QString::fromLatin1(QByteArray::fromStdString(value).toHex()));
    }
    xml.writeEndElement();
}

QByteArray xmlDocument(const ZUVARecoveryFileImpl& file)
{
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("RecoveryFile"));
    writeText(xml, QStringLiteral("acquirerId"), file.acquirerId());
    writeText(xml, QStringLiteral("terminalId"), file.terminalId());
    writeText(xml, QStringLiteral("schemeId"), file.schemeId());
    writeText(xml, QStringLiteral("batchId"), file.batchId());
    xml.writeTextElement(QStringLiteral("closingDate"), RecoveryFileUtil::toDateString(file.closingDate()));
    xml.writeTextElement(QStringLiteral("creationDate"), RecoveryFileUtil::toDateString(file.creationDate()));
    int index = 0;
    for (const auto& transaction : file.transactions()) {
        xml.writeStartElement(QStringLiteral("transaction%1").arg(index++));
        xml.writeTextElement(QStringLiteral("date"), RecoveryFileUtil::toDateString(transaction->date()));
        writeText(xml, QStringLiteral("logRecord"), transaction->logRecord());
        writeText(xml, QStringLiteral("merchantUserId"), transaction->merchantUserId());
        xml.writeEndElement();
    }
    xml.writeEndElement();
    xml.writeEndDocument();
    return bytes;
}

bool findRoot(QXmlStreamReader& xml)
{
    while (!xml.atEnd()) {
        if (xml.isStartElement() && xml.name() == QLatin1String("RecoveryFile"))
            return true;
        xml.readNext();
    }
    return false;
}

// Reads the children of a transaction element up to its end.
std::shared_ptr<ZUVARecoveryFileTransaction> readTransaction(QXmlStreamReader& xml)
{
    auto transaction = std::make_shared<ZUVARecoveryFileTransaction>();
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("date"))
            transaction->setDate(RecoveryFileUtil::toTmDate(xml.readElementText()));
        else if (xml.name() == QLatin1String("logRecord"))
            transaction->setLogRecord(readText(xml));
        else if (xml.name() == QLatin1String("merchantUserId"))
            transaction->setMerchantUserId(readText(xml));
    }
    return transaction;
}

void readElement(QXmlStreamReader& xml, ZUVARecoveryFileImpl& file)
{
    const auto name = xml.name();
    if (name == QLatin1String("acquirerId")) {
        file.setAcquirerId(readText(xml));
    } else if (name == QLatin1String("terminalId")) {
        file.setTerminalId(readText(xml));
    } else if (name == QLatin1String("schemeId")) {
        file.setSchemeId(readText(xml));
    } else if (name == QLatin1String("batchId")) {
        file.setBatchId(readText(xml));
    } else if (name == QLatin1String("closingDate")) {
        file.setClosingDate(RecoveryFileUtil::toTmDate(xml.readElementText()));
    } else if (name == QLatin1String("creationDate")) {
        file.setCreationDate(RecoveryFileUtil::toTmDate(xml.readElementText()));
    } else if (name.startsWith(QLatin1String("transaction"))) {
        auto transactions = file.transactions();
        transactions.push_back(readTransaction(xml));
        file.setTransactions(transactions);
    }
}

std::shared_ptr<ZUVARecoveryFileImpl> unreadable(const QString& path, const QString& reason)
{
    RecoveryLog::warning(QStringLiteral("Skipped unreadable recovery file %1: %2").arg(path, reason));
    return nullptr;
}

// A read that failed says its error (EIO ...), not the document's truncation.
QString whyNotRead(const QXmlStreamReader& xml, const QFile& device)
{
    return device.error() != QFileDevice::NoError ? device.errorString() : xml.errorString();
}

QString fourDigitCount(std::size_t count)
{
    return QStringLiteral("%1").arg(static_cast<qulonglong>(count), 4, 10, QLatin1Char('0'));
}

std::string filledToThirtyDigits(std::string hex)
{
    if (hex.size() < 30)
        hex.append(30 - hex.size(), '0');
    return hex;
}

QByteArray exportBytes(const ZUVARecoveryFile& file)
{
    const std::string content = file.content();
    return QByteArray(content.c_str()); // up to the first NUL
}

// Opened without waiting: a FIFO lying under the name holds nothing up, it reads as empty.
bool openForReading(QFile& file, const QString& path, QIODevice::OpenMode mode, int flags = 0)
{
    const int descriptor = ::open(QFile::encodeName(path).constData(), flags | O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0)
        return false;
    if (file.open(descriptor, mode, QFileDevice::AutoCloseHandle))
        return true;
    ::close(descriptor);
    return false;
}

bool holds(const QString& path, const QByteArray& bytes)
{
    QFile file;
    return openForReading(file, path, QIODevice::ReadOnly) && file.readAll() == bytes;
}

// The export is written under its listed name; an earlier export of other
// content lying there is kept under the next free name first.
bool makeRoomFor(const QString& path, const QByteArray& bytes)
{
    if (!QFileInfo::exists(path) || holds(path, bytes))
        return true;
    const QFileInfo target(path);
    const QString aside = RecoveryFileName::firstFreePath(target.absolutePath(), target.fileName(), QLatin1Char('-'));
    if (QFile::rename(path, aside)) {
        RecoveryLog::line(QStringLiteral("Earlier export %1 kept as %2").arg(path, aside));
        return true;
    }
    RecoveryLog::warning(QStringLiteral("Export not written, an earlier export in the way can't be moved: ") + path);
    return false;
}

bool writeExport(const QString& path, const QByteArray& bytes)
{
    QString error;
    if (DurableFileWriter::write(path, bytes, &error) && holds(path, bytes))
        return true;
    RecoveryLog::warning(QStringLiteral("Failed to write file %1: %2").arg(path, error));
    return false;
}

} // namespace

QString RecoveryFileUtil::appendPath(const QString& first, const QString& second)
{
    return QDir::cleanPath(first + QLatin1Char('/') + second);
}

// The fields the zone shows at the date's second (an hour the clocks skipped
// moves on), as ISO 8601 text without offset.
QString RecoveryFileUtil::toDateString(std::tm date)
{
    const std::tm shown = RecoveryCalendar::fromSeconds(RecoveryCalendar::toSeconds(date));
    return text(RecoveryCalendar::format(shown, storedDateFormat));
}

std::tm RecoveryFileUtil::toTmDate(const QString& text)
{
    const QDateTime date = QDateTime::fromString(text, Qt::ISODate);
    return RecoveryCalendar::fromSeconds(date.isValid() ? date.toSecsSinceEpoch() : -1);
}

QString RecoveryFileUtil::getOpenRecoveryFileFileName(const QString& terminalId, const QString& acquirerId)
{
    return QStringLiteral("TID") + RecoveryFileName::component(terminalId.toStdString()) + QStringLiteral("-ACQ") +
        RecoveryFileName::component(acquirerId.toStdString()) + QStringLiteral(".xml");
}

QString RecoveryFileUtil::getClosedRecoveryFileFileName(const QString& terminalId, const QString& acquirerId,
                                                        const std::tm& closingDate)
{
    return text(RecoveryCalendar::format(closingDate, closedDateFormat)) + QLatin1Char('-') +
        getOpenRecoveryFileFileName(terminalId, acquirerId);
}

bool RecoveryFileUtil::isStorableText(const std::string& value)
{
    // Plain ASCII, the usual text, is decided without decoding: every save checks every record.
    const bool ascii = std::all_of(value.begin(), value.end(), [](char c) {
        return c == '\t' || c == '\n' || (c >= 0x20 && static_cast<unsigned char>(c) < 0x80);
    });
    if (ascii)
        return true;
    const QString decoded = text(value);
    if (decoded.toStdString() != value)
        return false;
    for (const QChar c : decoded) {
        const ushort code = c.unicode();
        if ((code < 0x20 && code != '\t' && code != '\n') || code == 0xFFFE || code == 0xFFFF)
            return false;
    }
    return true;
}

bool RecoveryFileUtil::writeRecoveryFileXml(const QString& path, std::shared_ptr<ZUVARecoveryFileImpl> file)
{
    QString error;
    // Never through a link another user planted under the name, a free one too.
    if (DurableFileWriter::writeOwn(path, xmlDocument(*file), &error))
        return true;
    RecoveryLog::warning(QStringLiteral("Failed to write file %1: %2").arg(path, error));
    return false;
}

std::shared_ptr<ZUVARecoveryFileImpl> RecoveryFileUtil::readRecoveryFileXml(const QString& path)
{
    // A save or a listing reads file after file: once the exit waits, the
    // one under way stops at the next, so that the wait is one file long.
    if (vorsam::ExitAwaitedWork::refusing())
        throw RecoveryRefusedAtExit();
    QFile device;
    // A link planted under a record's name could show a file only root may read.
    if (!openForReading(device, path, QIODevice::ReadOnly | QIODevice::Text, O_NOFOLLOW))
        return unreadable(path, QString::fromUtf8(std::strerror(errno)));
    QXmlStreamReader xml(&device);
    if (!findRoot(xml))
        return unreadable(path, xml.hasError() ? whyNotRead(xml, device) : QStringLiteral("no RecoveryFile element"));
    auto file = std::make_shared<ZUVARecoveryFileImpl>();
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement)
            readElement(xml, *file);
    }
    if (xml.hasError())
        return unreadable(path, whyNotRead(xml, device));
    file->setStoredPath(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    return file;
}

RecoveryFileUtil::StoredFiles RecoveryFileUtil::readRecoveryFilesXml(const QString& folder)
{
    StoredFiles files;
    const QDir dir(folder);
    if (!dir.exists())
        return files;
    for (const QFileInfo& entry : dir.entryInfoList(QDir::Files, QDir::Name)) {
        if (!entry.fileName().endsWith(QLatin1String(".xml"), Qt::CaseSensitive))
            continue;
        if (auto file = readRecoveryFileXml(entry.absoluteFilePath()))
            files.push_back(file);
    }
    return files;
}

QString RecoveryFileUtil::createRecoveryFileContent(std::shared_ptr<const ZUVARecoveryFileImpl> file)
{
    const auto transactions = file->transactions();
    std::string content = "DF6804" + file->acquirerId() + "9F1C08" + toHexaString(file->terminalId()) +
        "DF820506" + file->schemeId() + "C502" + file->batchId() + "C907" +
        RecoveryCalendar::format(file->closingDate(), closedDateFormat) + "C302" +
        fourDigitCount(transactions.size()).toStdString();
    for (const auto& transaction : transactions)
        content += "9F160F" + filledToThirtyDigits(toHexaString(transaction->merchantUserId())) +
            transaction->recoveryFileRecord();
    content += "CA02" + oxa::CRCGenerator().crc16ForRecoveryFile(content);
    return text(content);
}

QString RecoveryFileUtil::createRecoveryFileFilename(std::shared_ptr<const ZUVARecoveryFileImpl> file)
{
    return QStringLiteral("Recovery_A") + RecoveryFileName::component(file->acquirerId()) + QStringLiteral("_T") +
        RecoveryFileName::component(file->terminalId()) + QStringLiteral("_D") +
        RecoveryFileName::component(RecoveryCalendar::format(file->closingDate(), exportDateFormat)) +
        QStringLiteral("_B") + RecoveryFileName::component(file->batchId()) + QStringLiteral(".hex");
}

std::string RecoveryFileUtil::toHexaString(const std::string& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (unsigned char byte : bytes) {
        hex += digits[byte >> 4];
        hex += digits[byte & 0x0F];
    }
    return hex;
}

QStringList RecoveryFileUtil::exportFileNames(const Files& files)
{
    QStringList names;
    QSet<QString> used;
    for (const auto& file : files) {
        const QString name = QString::fromStdString(file->fileName());
        QString candidate = name;
        for (int n = 2; used.contains(candidate); ++n)
            candidate = RecoveryFileName::withNumber(name, n, QLatin1Char('_'));
        used.insert(candidate);
        names << candidate;
    }
    return names;
}

bool RecoveryFileUtil::extractRecoveryFiles(const Files& files, const QString& folder)
{
    if (folder.isEmpty() || !QDir().mkpath(folder)) {
        RecoveryLog::warning(QStringLiteral("Cannot create export folder ") + folder);
        return false;
    }
    const QStringList names = exportFileNames(files);
    for (std::size_t i = 0; i < files.size(); ++i) {
        // Each export syncs: on slow storage a long export outlasts the exit's wait.
        if (vorsam::ExitAwaitedWork::refusing())
            throw RecoveryRefusedAtExit();
        const QByteArray bytes = exportBytes(*files[i]);
        const QString path = appendPath(folder, names[static_cast<int>(i)]);
        if (!makeRoomFor(path, bytes) || !writeExport(path, bytes))
            return false;
    }
    return true;
}

} // namespace ect
