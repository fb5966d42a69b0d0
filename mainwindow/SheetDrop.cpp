#include "SheetDrop.h"

#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>
#include <cerrno>
#include <cstring>
#include <new>

#include "DictionaryReader.h"
#include "Notifier.h"
#include "Sheet.h"
#include "SheetFile.h"

namespace tenmari {

namespace {

const QString kRefuseNotFile = QStringLiteral("ﾌｧｲﾙ以外はﾄﾞﾛｯﾌﾟできません。CSVﾌｧｲﾙを1つﾄﾞﾛｯﾌﾟしてください");
const QString kRefuseSeveral = QStringLiteral("ﾄﾞﾛｯﾌﾟできるCSVﾌｧｲﾙは1度に1つだけです");
const QString kRefuseFolder = QStringLiteral("ﾌｫﾙﾀﾞはﾄﾞﾛｯﾌﾟできません。CSVﾌｧｲﾙを1つﾄﾞﾛｯﾌﾟしてください");
const QString kRefuseNotCsv = QStringLiteral("CSVﾌｧｲﾙ（.csv）以外はﾄﾞﾛｯﾌﾟできません：%1");
const QString kWritten = QStringLiteral(
    "郵便番号を入れて書き出しました：%1\n\n"
    "行数：%2\n郵便番号を入れた行：%3\n番地まで分かった行：%4\n候補が複数ある行：%5\n見つからない行：%6");
const QString kWrittenEmpty = QStringLiteral("\n住所が空の行：%1");
const QString kFailed = QStringLiteral("%1 を変換できません。\n%2");

QString fromPath(const std::string& p) { return QFile::decodeName(QByteArray::fromStdString(p)); }

// Why a sheet cannot be converted, in the window's words.
QString sheetReason(const sheet::SheetError& e) {
    using K = sheet::SheetError::Kind;
    const QString line = QString::number(e.line());
    switch (e.kind()) {
    case K::notText: return QStringLiteral("%1行目が UTF-8 でも Shift_JIS でもありません").arg(line);
    case K::nulByte: return QStringLiteral("%1行目に文字でないﾊﾞｲﾄ（NUL）があります").arg(line);
    case K::badQuote: return QStringLiteral("%1行目の\"（ﾀﾞﾌﾞﾙｸｫｰﾃｰｼｮﾝ）の使い方が正しくありません").arg(line);
    case K::unclosedQuote: return QStringLiteral("%1行目で始まる\"（ﾀﾞﾌﾞﾙｸｫｰﾃｰｼｮﾝ）が閉じていません").arg(line);
    case K::cellTooLong: return QStringLiteral("%1行目のｾﾙが大きすぎます").arg(line);
    case K::tooManyColumns: return QStringLiteral("%1行目の列が多すぎます").arg(line);
    case K::noRows: return QStringLiteral("ﾌｧｲﾙが空です");
    case K::noAddressColumn:
    case K::noSuchColumn: return QStringLiteral("住所の列が見つかりません（見出しに「住所」を含む列を置いてください）");
    case K::noCodeColumn: return QStringLiteral("郵便番号の列が見つかりません");
    }
    return QString::fromStdString(e.what());
}

QString fileReason(const sheet::FileError& e, const QString& output) {
    using K = sheet::FileError::Kind;
    switch (e.kind()) {
    case K::exists: return QStringLiteral("%1 が既にあります（上書きはしません）").arg(output);
    case K::read: return QStringLiteral("ﾌｧｲﾙを読めません（%1）").arg(QString::fromLocal8Bit(std::strerror(e.err())));
    case K::sameAsInput:
    case K::write:
        return QStringLiteral("%1 を書き出せません（%2）")
            .arg(output, QString::fromLocal8Bit(std::strerror(e.err() ? e.err() : EEXIST)));
    }
    return QString::fromStdString(e.what());
}

void refuse(const QString& text) {
    notifier().beep();
    notifier().message(text);
}

}  // namespace

bool SheetDropModel::wanted(const QMimeData& data) { return !data.formats().isEmpty(); }

SheetDropModel::Outcome SheetDropModel::drop(const QMimeData& data) {
    const QList<QUrl> urls = data.urls();
    if (urls.isEmpty()) return refuse(kRefuseNotFile), Outcome::refused;
    if (urls.size() > 1) return refuse(kRefuseSeveral), Outcome::refused;
    if (!urls.front().isLocalFile()) return refuse(kRefuseNotFile), Outcome::refused;
    const QFileInfo file(urls.front().toLocalFile());
    if (file.isDir()) return refuse(kRefuseFolder), Outcome::refused;
    if (file.suffix().compare(QStringLiteral("csv"), Qt::CaseInsensitive) != 0) {
        return refuse(kRefuseNotCsv.arg(file.fileName())), Outcome::refused;
    }
    const std::string input = QFile::encodeName(file.absoluteFilePath()).toStdString();
    const std::string output = sheet::outputBeside(input);
    const QString outputName = QFileInfo(fromPath(output)).fileName();
    try {
        const sheet::FileBytes bytes = sheet::readWhole(input);
        const std::unique_ptr<sheet::AddressAnswerer> answerer = makeAnswerer_();
        sheet::Converted c;
        {
            const std::unique_ptr<SheetDropProgress> progress = makeProgress_();
            // Reading the cells is the first tenth of the work, answering the rest.
            c = sheet::convert(
                bytes.view(), {}, *answerer, [&](sheet::Stage stage, std::uint64_t done, std::uint64_t total) {
                    const double share = total ? static_cast<double>(done) / static_cast<double>(total) : 1.0;
                    const double percent = stage == sheet::Stage::reading ? 10 * share : 10 + 90 * share;
                    return progress->step(static_cast<int>(percent));
                });
            if (c.cancelled) return Outcome::cancelled;
        }
        sheet::writeWhole(output, c.bytes, false, input);
        const sheet::Summary& s = c.summary;
        QString text =
            kWritten.arg(outputName).arg(s.rows).arg(s.filled).arg(s.toNumber).arg(s.ambiguous).arg(s.notFound);
        if (s.empty) text += kWrittenEmpty.arg(s.empty);
        notifier().message(text);
        return Outcome::written;
    } catch (const sheet::SheetError& e) {
        refuse(kFailed.arg(file.fileName(), sheetReason(e)));
    } catch (const sheet::FileError& e) {
        refuse(kFailed.arg(file.fileName(), fileReason(e, outputName)));
    } catch (const PostFileError& e) {
        refuse(kFailed.arg(file.fileName(), QStringLiteral("辞書ﾌｧｲﾙを読めません（%1）").arg(fromPath(e.what()))));
    } catch (const std::bad_alloc&) {
        refuse(kFailed.arg(file.fileName(), QStringLiteral("ﾒﾓﾘが足りません")));
    }
    return Outcome::failed;
}

}  // namespace tenmari
