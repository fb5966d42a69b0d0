#include "HelpPages.h"

#include <QDir>
#include <QStringList>

namespace tenmari {

const std::vector<HelpPageContent>& helpPages() {
    // Every non-empty line begins with a full-width space; double quotes
    // inside a line are part of its text.
    static const std::vector<HelpPageContent> pages{
        {1,
         QStringLiteral("Image/001.jpg"),
         QStringLiteral("1/7"),
         ButtonEffect::Disable,
         ButtonEffect::Unchanged,
         {
             QString(),
             QStringLiteral("　郵便番号を入力し、検索ボタンを押すと該当の住所を検索表示します。"),
             QString(),
             QStringLiteral("　その際、全７桁の郵便番号をしますと直接該当の住所を表示し、"),
             QStringLiteral("　また７桁未満の郵便番号で検索をしますと、合致する幾つかの住所の"),
             QStringLiteral("　候補一覧が表示され、「あいまい検索」が可能となっています。"),
             QStringLiteral("　※前３桁未満の郵便番号では検索する事はできません。"),
         }},
        {2,
         QStringLiteral("Image/002.jpg"),
         QStringLiteral("2/7"),
         ButtonEffect::Enable,
         ButtonEffect::Unchanged,
         {
             QString(),
             QStringLiteral("　７桁未満での「あいまい検索」の場合には、検索候補として住所一覧が"),
             QStringLiteral("　表示されますので、目的の住所をその中からお探し下さい。"),
             QString(),
             QStringLiteral("　また候補の中から住所を選択しますと、検索結果として表示されます。"),
             QStringLiteral("　→他ソフトへの検索結果のコピーの際などにお使い下さい。"),
         }},
        {3,
         QStringLiteral("Image/003.jpg"),
         QStringLiteral("3/7"),
         ButtonEffect::Unchanged,
         ButtonEffect::Unchanged,
         {
             QString(),
             QStringLiteral("　\"結果をコピー\"ボタンを押しますと、検索結果を他ソフトへコピーする事が"),
             QStringLiteral("　可能です。（コピー先のソフト側で、\"ペースト\"作業を行なって下さい。）"),
             QString(),
             QStringLiteral("　なお、複数の結果（検索候補）が表示されている場合には、目的の住所を"),
             QStringLiteral("　選択して頂くと、検索結果として確定されコピーが可能になります。"),
             QStringLiteral("　※\"検索結果\"が空欄の場合には、コピーボタンは押せません。"),
         }},
        {4,
         QStringLiteral("Image/004.jpg"),
         QStringLiteral("4/7"),
         ButtonEffect::Unchanged,
         ButtonEffect::Unchanged,
         {
             QString(),
             QStringLiteral("　住所から郵便番号を検索する事ができ、市町村の途中まででも"),
             QStringLiteral("　該当する郵便番号を一覧として検索する事も可能です。"),
             QStringLiteral("　※検索の際には、必ず都道府県からの入力が必要となります。"),
         }},
        {5,
         QStringLiteral("Image/005.jpg"),
         QStringLiteral("5/7"),
         ButtonEffect::Unchanged,
         ButtonEffect::Unchanged,
         {
             QString(),
             QStringLiteral("　検索に用いる辞書を、目的の都道府県を含む地方の専用辞書に切替え"),
             QStringLiteral("　て頂くと、より速く検索する事が可能となります。"),
             QString(),
             QStringLiteral("　※全国版の辞書を使った場合には、北は北海道から順に検索をする為"),
             QStringLiteral("　地方別の辞書より検索時間がより多く必要となります。"),
         }},
        {6,
         QStringLiteral("Image/006.jpg"),
         QStringLiteral("6/7"),
         ButtonEffect::Unchanged,
         ButtonEffect::Enable,
         {
             QString(),
             QStringLiteral("　\"ソフトウェアの設定\"を使って頂くと、〒マークを付けるなど検索結果の"),
             QStringLiteral("　表示方法や、ソフトウェアの画面表示方法をお好みに変えて頂く事が"),
             QStringLiteral("　可能です。"),
             QString(),
             QStringLiteral("　※設定終了時も、設定ボタンと同じボタンです。"),
         }},
        {7,
         QStringLiteral("Image/007.jpg"),
         QStringLiteral("7/7"),
         ButtonEffect::Unchanged,
         ButtonEffect::Disable,
         {
             QString(),
             QStringLiteral("　各設定は、必要に応じて随時変えて頂く事は可能です。"),
             QStringLiteral("　検索結果の表示切替えは、次の選択より反映されます。"),
             QStringLiteral("　ソフトウェアの画面表示については、すぐに反映※されます。"),
             QString(),
             QStringLiteral("　※灰色領域の\"常に手前で表示する\"と\"タイトルバーを外す\"については"),
             QStringLiteral("　現在の検索結果などが消えますのでご注意下さい。"),
         }},

    };
    return pages;
}

const HelpPageContent* helpPage(int number) {
    if (number < 1 || number > kHelpPageCount) return nullptr;
    return &helpPages()[static_cast<std::size_t>(number - 1)];
}

QString helpMemoText(const HelpPageContent& page) {
    QStringList lines;
    lines.reserve(static_cast<qsizetype>(page.lines.size()));
    for (const QString& line : page.lines) lines.append(line);
    return lines.join(QLatin1Char('\n'));
}

QString helpPicturePath(const QString& exeDir, const HelpPageContent& page) {
    return QDir(exeDir).filePath(page.picture);
}

}  // namespace tenmari
