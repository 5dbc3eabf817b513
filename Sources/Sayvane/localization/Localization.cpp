#include "Localization.h"

#include "NotificationCenter.h"
#include "Settings.h"

#include <QCoreApplication>
#include <QHash>
#include <QSettings>
#include <QThread>

using namespace Qt::StringLiterals;

namespace AppLanguages {

QString rawValue(AppLanguage language) {
    switch (language) {
    case AppLanguage::english:
        return u"en"_s;
    case AppLanguage::vietnamese:
        return u"vi"_s;
    case AppLanguage::chinese:
        return u"zh"_s;
    }
    return u"en"_s;
}

std::optional<AppLanguage> fromRawValue(const QString& rawValue) {
    for (const AppLanguage language : allCases) {
        if (AppLanguages::rawValue(language) == rawValue)
            return language;
    }
    return std::nullopt;
}

} // namespace AppLanguages

namespace {

using Table = QHash<QString, QString>;

const Table& table(AppLanguage language) {
    static const Table english = {
        {u"Loading"_s, u"Loading..."_s},
        {u"NoQuotes"_s, u"No quotes"_s},
        {u"EditQuotes"_s, u"Edit Quotes..."_s},
        {u"ReloadQuotes"_s, u"Reload Quotes"_s},
        {u"LaunchAtLogin"_s, u"Launch at Login"_s},
        {u"Quit"_s, u"Quit"_s},
        {u"Language"_s, u"Language"_s},
        {u"Quote"_s, u"Quote"_s},
        {u"AddNewQuote"_s, u"Add new quote..."_s},
        {u"Add"_s, u"Add"_s},
        {u"EditQuotesTitle"_s, u"Edit Quotes"_s},
        {u"Edit"_s, u"Edit"_s},
        {u"Undo"_s, u"Undo"_s},
        {u"Redo"_s, u"Redo"_s},
        {u"Cut"_s, u"Cut"_s},
        {u"Copy"_s, u"Copy"_s},
        {u"Paste"_s, u"Paste"_s},
        {u"Delete"_s, u"Delete"_s},
        {u"SelectAll"_s, u"Select All"_s},
        {u"Screen"_s, u"Screen"_s},
        {u"ScreenAutomatic"_s, u"Automatic"_s},
        {u"Import"_s, u"Import..."_s},
        {u"ImportQuotesTitle"_s, u"Import Quotes"_s},
        {u"ImportedQuotes"_s, u"Imported %1 quotes from %2"_s},
        {u"ImportedOneQuote"_s, u"Imported %1 quote from %2"_s},
        {u"ImportedNoQuotes"_s, u"No new quotes in %1"_s},
        {u"ImportFailed"_s, u"Could not import quotes: %1"_s},
        {u"Preferences"_s, u"Preferences..."_s},
        {u"PreferencesTitle"_s, u"Preferences"_s},
        {u"StripGroup"_s, u"Strip"_s},
        {u"ShowStrip"_s, u"Show the strip"_s},
        {u"StripAuto"_s, u"Automatically"_s},
        {u"StripOn"_s, u"Always"_s},
        {u"StripOff"_s, u"Never"_s},
        {u"ShowStripDescription"_s,
         u"Automatically: hidden while a panel shows the ticker as a label."_s},
        {u"StripPlace"_s, u"Place on the top edge"_s},
        {u"PlaceRight"_s, u"Right"_s},
        {u"PlaceCenter"_s, u"Center"_s},
        {u"PlaceLeft"_s, u"Left"_s},
        {u"StripWidth"_s, u"Width"_s},
        {u"StripFontSize"_s, u"Text size"_s},
        {u"StripSpeed"_s, u"Speed"_s},
        {u"PixelsSuffix"_s, u" px"_s},
        {u"PixelsPerSecondSuffix"_s, u" px/s"_s},
        {u"PauseOnHover"_s, u"Stop while the pointer rests on the strip"_s},
        {u"LabelGroup"_s, u"Panel label"_s},
        {u"LabelShows"_s, u"Label"_s},
        {u"LabelScrolling"_s, u"Scrolling text"_s},
        {u"LabelQuote"_s, u"Whole quote"_s},
        {u"LabelOff"_s, u"Icon only"_s},
        {u"LabelColumns"_s, u"Width"_s},
        {u"ColumnsSuffix"_s, u" columns"_s},
        {u"LabelInterval"_s, u"Step every"_s},
        {u"MillisecondsSuffix"_s, u" ms"_s},
        {u"LabelIntervalDescription"_s, u"The time between two steps of the scrolling label."_s},
        {u"TextGroup"_s, u"Text"_s},
        {u"Order"_s, u"Order of the quotes"_s},
        {u"OrderWritten"_s, u"As written"_s},
        {u"OrderShuffled"_s, u"Shuffled"_s},
        {u"OrderDescription"_s, u"Shuffled: a new order each time the quotes are shown anew."_s},
        {u"TickerInStrip"_s, u"The strip shows the ticker."_s},
        {u"TickerInStripNoPanel"_s,
         u"No panel here shows the ticker as a label, so the strip shows it."_s},
        {u"TickerInStripAndPanel"_s, u"The strip shows the ticker, and a panel shows it too."_s},
        {u"TickerInLabel"_s, u"The panel shows the label, so the strip stays hidden."_s},
        {u"TickerInWidget"_s,
         u"Sayvane's widget in the panel shows the ticker, so the strip stays hidden."_s},
        {u"TickerTiling"_s,
         u"This window manager tiles its windows, so the strip stays hidden; a bar can show the ticker with sayvane --bar."_s},
        {u"TickerOffInPanel"_s, u"The strip is off; the panel shows the ticker."_s},
        {u"TickerOffNowhere"_s, u"The strip is off, and no panel shows the ticker."_s},
        {u"StripOffRefused"_s,
         u"The strip stays: no panel item or tray icon would be left to open the menu."_s},
        {u"QuoteList"_s, u"Quotes"_s},
        {u"NewQuote"_s, u"New quote"_s},
        {u"NewQuoteDescription"_s, u"Type a quote and press Return to add it."_s},
        {u"QuoteNumber"_s, u"Quote %1"_s},
        {u"QuoteFieldDescription"_s, u"Return saves the quotes."_s},
        {u"DeleteQuoteNumber"_s, u"Delete quote %1"_s},
        {u"AddDescription"_s, u"Adds the new quote to the list."_s},
        {u"ImportDescription"_s,
         u"Adds the quotes of a text file, leaving out those already there."_s},
        {u"StripButtonDescription"_s, u"Opens Sayvane's menu."_s},
        {u"TickerDescription"_s, u"The quote passing the middle of the ticker."_s},
        {u"OpenQuotesFile"_s, u"Open Quotes File"_s},
        {u"Pause"_s, u"Pause"_s},
        {u"AboutSayvane"_s, u"About Sayvane"_s},
        {u"AboutVersion"_s, u"Version %1"_s},
        {u"AboutDescription"_s, u"Your own quotes, scrolling at the top of the screen."_s},
        {u"AboutLicence"_s, u"Free software under the %1 licence."_s},
        {u"AboutHomepage"_s, u"Homepage"_s},
        {u"AboutQuotesFile"_s, u"Your quotes are kept in"_s},
        {u"Close"_s, u"Close"_s},
        {u"Find"_s, u"Find..."_s},
        {u"FindQuotes"_s, u"Find quotes"_s},
        {u"ClearSearch"_s, u"Clear the search"_s},
        {u"NoMatches"_s, u"No quote contains “%1”"_s},
        {u"UndoStep"_s, u"Undo %1"_s},
        {u"RedoStep"_s, u"Redo %1"_s},
        {u"DeleteQuoteStep"_s, u"Delete Quote"_s},
        {u"AddQuoteStep"_s, u"Add Quote"_s},
        {u"AddQuotesStep"_s, u"Add Quotes"_s},
        {u"EditQuoteStep"_s, u"Edit Quote"_s},
        {u"MoveQuoteStep"_s, u"Move Quote"_s},
        {u"MoveUp"_s, u"Move Up"_s},
        {u"MoveDown"_s, u"Move Down"_s},
        {u"DragToMove"_s, u"Drag to move the quote"_s},
        {u"NoQuotesFound"_s, u"No quotes found. Add some!"_s},
        {u"ErrorLoadingQuotes"_s, u"Error loading quotes file"_s},
        {u"CopyKeptTitle"_s, u"Sayvane kept a copy of your quotes"_s},
        {u"ConflictCopyKept"_s,
         u"Another program changed the quotes file at the same time; its version is kept as %1"_s},
        {u"BrokenCopyKept"_s, u"The quotes file could not be loaded; it is kept as %1"_s},
        {u"DuplicateNamesCopyKept"_s, u"The quotes file named a member twice; it is kept as %1"_s},
    };
    static const Table vietnamese = {
        {u"Loading"_s, u"Đang tải..."_s},
        {u"NoQuotes"_s, u"Không có trích dẫn"_s},
        {u"EditQuotes"_s, u"Chỉnh sửa trích dẫn..."_s},
        {u"ReloadQuotes"_s, u"Tải lại"_s},
        {u"LaunchAtLogin"_s, u"Mở lúc đăng nhập"_s},
        {u"Quit"_s, u"Thoát"_s},
        {u"Language"_s, u"Ngôn ngữ"_s},
        {u"Quote"_s, u"Trích dẫn"_s},
        {u"AddNewQuote"_s, u"Thêm trích dẫn mới..."_s},
        {u"Add"_s, u"Thêm"_s},
        {u"EditQuotesTitle"_s, u"Chỉnh sửa"_s},
        {u"Edit"_s, u"Sửa"_s},
        {u"Undo"_s, u"Hoàn tác"_s},
        {u"Redo"_s, u"Làm lại"_s},
        {u"Cut"_s, u"Cắt"_s},
        {u"Copy"_s, u"Sao chép"_s},
        {u"Paste"_s, u"Dán"_s},
        {u"Delete"_s, u"Xoá"_s},
        {u"SelectAll"_s, u"Chọn tất cả"_s},
        {u"Screen"_s, u"Màn hình"_s},
        {u"ScreenAutomatic"_s, u"Tự động"_s},
        {u"Import"_s, u"Nhập từ tệp..."_s},
        {u"ImportQuotesTitle"_s, u"Nhập trích dẫn"_s},
        {u"ImportedQuotes"_s, u"Đã nhập %1 trích dẫn từ %2"_s},
        {u"ImportedOneQuote"_s, u"Đã nhập %1 trích dẫn từ %2"_s},
        {u"ImportedNoQuotes"_s, u"Không có trích dẫn mới trong %1"_s},
        {u"ImportFailed"_s, u"Không nhập được trích dẫn: %1"_s},
        {u"Preferences"_s, u"Tùy chọn..."_s},
        {u"PreferencesTitle"_s, u"Tùy chọn"_s},
        {u"StripGroup"_s, u"Dải chữ"_s},
        {u"ShowStrip"_s, u"Hiện dải chữ"_s},
        {u"StripAuto"_s, u"Tự động"_s},
        {u"StripOn"_s, u"Luôn luôn"_s},
        {u"StripOff"_s, u"Không bao giờ"_s},
        {u"ShowStripDescription"_s,
         u"Tự động: ẩn khi bảng điều khiển hiện dòng chữ chạy dưới dạng nhãn."_s},
        {u"StripPlace"_s, u"Vị trí ở cạnh trên"_s},
        {u"PlaceRight"_s, u"Phải"_s},
        {u"PlaceCenter"_s, u"Giữa"_s},
        {u"PlaceLeft"_s, u"Trái"_s},
        {u"StripWidth"_s, u"Chiều rộng"_s},
        {u"StripFontSize"_s, u"Cỡ chữ"_s},
        {u"StripSpeed"_s, u"Tốc độ"_s},
        {u"PixelsSuffix"_s, u" px"_s},
        {u"PixelsPerSecondSuffix"_s, u" px/giây"_s},
        {u"PauseOnHover"_s, u"Dừng khi con trỏ nằm trên dải chữ"_s},
        {u"LabelGroup"_s, u"Nhãn trên bảng điều khiển"_s},
        {u"LabelShows"_s, u"Nhãn"_s},
        {u"LabelScrolling"_s, u"Chữ chạy"_s},
        {u"LabelQuote"_s, u"Cả trích dẫn"_s},
        {u"LabelOff"_s, u"Chỉ biểu tượng"_s},
        {u"LabelColumns"_s, u"Chiều rộng"_s},
        {u"ColumnsSuffix"_s, u" cột"_s},
        {u"LabelInterval"_s, u"Bước mỗi"_s},
        {u"MillisecondsSuffix"_s, u" ms"_s},
        {u"LabelIntervalDescription"_s, u"Thời gian giữa hai bước của nhãn chữ chạy."_s},
        {u"TextGroup"_s, u"Văn bản"_s},
        {u"Order"_s, u"Thứ tự trích dẫn"_s},
        {u"OrderWritten"_s, u"Như đã viết"_s},
        {u"OrderShuffled"_s, u"Xáo trộn"_s},
        {u"OrderDescription"_s, u"Xáo trộn: một thứ tự mới mỗi lần trích dẫn được hiện lại."_s},
        {u"TickerInStrip"_s, u"Dải chữ đang hiện dòng chữ chạy."_s},
        {u"TickerInStripNoPanel"_s,
         u"Ở đây không có bảng điều khiển nào hiện nhãn chữ chạy, nên dải chữ hiện nó."_s},
        {u"TickerInStripAndPanel"_s,
         u"Dải chữ đang hiện dòng chữ chạy, và bảng điều khiển cũng hiện nó."_s},
        {u"TickerInLabel"_s, u"Bảng điều khiển hiện nhãn, nên dải chữ được ẩn."_s},
        {u"TickerInWidget"_s,
         u"Tiện ích Sayvane trên bảng điều khiển hiện dòng chữ chạy, nên dải chữ được ẩn."_s},
        {u"TickerTiling"_s,
         u"Trình quản lý cửa sổ này xếp lát các cửa sổ, nên dải chữ được ẩn; một thanh trạng thái có thể hiện dòng chữ chạy bằng sayvane --bar."_s},
        {u"TickerOffInPanel"_s, u"Dải chữ đang tắt; bảng điều khiển hiện dòng chữ chạy."_s},
        {u"TickerOffNowhere"_s,
         u"Dải chữ đang tắt, và không có bảng điều khiển nào hiện dòng chữ chạy."_s},
        {u"StripOffRefused"_s,
         u"Dải chữ vẫn được giữ: sẽ không còn biểu tượng nào trên bảng điều khiển hay khay hệ thống để mở menu."_s},
        {u"QuoteList"_s, u"Danh sách trích dẫn"_s},
        {u"NewQuote"_s, u"Trích dẫn mới"_s},
        {u"NewQuoteDescription"_s, u"Gõ một trích dẫn rồi nhấn Enter để thêm."_s},
        {u"QuoteNumber"_s, u"Trích dẫn %1"_s},
        {u"QuoteFieldDescription"_s, u"Nhấn Enter để lưu các trích dẫn."_s},
        {u"DeleteQuoteNumber"_s, u"Xoá trích dẫn %1"_s},
        {u"AddDescription"_s, u"Thêm trích dẫn mới vào danh sách."_s},
        {u"ImportDescription"_s,
         u"Thêm các trích dẫn từ một tệp văn bản, bỏ qua những trích dẫn đã có."_s},
        {u"StripButtonDescription"_s, u"Mở menu của Sayvane."_s},
        {u"TickerDescription"_s, u"Trích dẫn đang đi qua giữa dòng chữ chạy."_s},
        {u"OpenQuotesFile"_s, u"Mở tệp trích dẫn"_s},
        {u"Pause"_s, u"Tạm dừng"_s},
        {u"AboutSayvane"_s, u"Giới thiệu Sayvane"_s},
        {u"AboutVersion"_s, u"Phiên bản %1"_s},
        {u"AboutDescription"_s, u"Những trích dẫn của riêng bạn, chạy ngang đầu màn hình."_s},
        {u"AboutLicence"_s, u"Phần mềm tự do theo giấy phép %1."_s},
        {u"AboutHomepage"_s, u"Trang chủ"_s},
        {u"AboutQuotesFile"_s, u"Trích dẫn của bạn được lưu tại"_s},
        {u"Close"_s, u"Đóng"_s},
        {u"Find"_s, u"Tìm..."_s},
        {u"FindQuotes"_s, u"Tìm trích dẫn"_s},
        {u"ClearSearch"_s, u"Xoá nội dung tìm"_s},
        {u"NoMatches"_s, u"Không có trích dẫn nào chứa “%1”"_s},
        {u"UndoStep"_s, u"Hoàn tác %1"_s},
        {u"RedoStep"_s, u"Làm lại %1"_s},
        {u"DeleteQuoteStep"_s, u"xoá trích dẫn"_s},
        {u"AddQuoteStep"_s, u"thêm trích dẫn"_s},
        {u"AddQuotesStep"_s, u"thêm các trích dẫn"_s},
        {u"EditQuoteStep"_s, u"sửa trích dẫn"_s},
        {u"MoveQuoteStep"_s, u"di chuyển trích dẫn"_s},
        {u"MoveUp"_s, u"Chuyển lên"_s},
        {u"MoveDown"_s, u"Chuyển xuống"_s},
        {u"DragToMove"_s, u"Kéo để di chuyển trích dẫn"_s},
        {u"NoQuotesFound"_s, u"Không tìm thấy trích dẫn nào. Hãy thêm vài câu!"_s},
        {u"ErrorLoadingQuotes"_s, u"Lỗi khi tải tệp trích dẫn"_s},
        {u"CopyKeptTitle"_s, u"Sayvane đã giữ một bản sao trích dẫn của bạn"_s},
        {u"ConflictCopyKept"_s,
         u"Một chương trình khác đã sửa tệp trích dẫn cùng lúc; bản của nó được giữ tại %1"_s},
        {u"BrokenCopyKept"_s, u"Không tải được tệp trích dẫn; tệp được giữ tại %1"_s},
        {u"DuplicateNamesCopyKept"_s,
         u"Tệp trích dẫn có một mục mang cùng tên hai lần; tệp được giữ tại %1"_s},
    };
    static const Table chinese = {
        {u"Loading"_s, u"加载中..."_s},
        {u"NoQuotes"_s, u"没有引语"_s},
        {u"EditQuotes"_s, u"编辑引语..."_s},
        {u"ReloadQuotes"_s, u"重新加载"_s},
        {u"LaunchAtLogin"_s, u"登录时启动"_s},
        {u"Quit"_s, u"退出"_s},
        {u"Language"_s, u"语言"_s},
        {u"Quote"_s, u"引语"_s},
        {u"AddNewQuote"_s, u"添加新引语..."_s},
        {u"Add"_s, u"添加"_s},
        {u"EditQuotesTitle"_s, u"编辑引语"_s},
        {u"Edit"_s, u"编辑"_s},
        {u"Undo"_s, u"撤销"_s},
        {u"Redo"_s, u"重做"_s},
        {u"Cut"_s, u"剪切"_s},
        {u"Copy"_s, u"复制"_s},
        {u"Paste"_s, u"粘贴"_s},
        {u"Delete"_s, u"删除"_s},
        {u"SelectAll"_s, u"全选"_s},
        {u"Screen"_s, u"屏幕"_s},
        {u"ScreenAutomatic"_s, u"自动"_s},
        {u"Import"_s, u"导入..."_s},
        {u"ImportQuotesTitle"_s, u"导入引语"_s},
        {u"ImportedQuotes"_s, u"已从 %2 导入 %1 条引语"_s},
        {u"ImportedOneQuote"_s, u"已从 %2 导入 %1 条引语"_s},
        {u"ImportedNoQuotes"_s, u"%1 中没有新的引语"_s},
        {u"ImportFailed"_s, u"无法导入引语：%1"_s},
        {u"Preferences"_s, u"偏好设置..."_s},
        {u"PreferencesTitle"_s, u"偏好设置"_s},
        {u"StripGroup"_s, u"条带"_s},
        {u"ShowStrip"_s, u"显示条带"_s},
        {u"StripAuto"_s, u"自动"_s},
        {u"StripOn"_s, u"始终"_s},
        {u"StripOff"_s, u"从不"_s},
        {u"ShowStripDescription"_s, u"自动：面板以标签显示滚动文字时隐藏。"_s},
        {u"StripPlace"_s, u"在顶部边缘的位置"_s},
        {u"PlaceRight"_s, u"右"_s},
        {u"PlaceCenter"_s, u"居中"_s},
        {u"PlaceLeft"_s, u"左"_s},
        {u"StripWidth"_s, u"宽度"_s},
        {u"StripFontSize"_s, u"字号"_s},
        {u"StripSpeed"_s, u"速度"_s},
        {u"PixelsSuffix"_s, u" 像素"_s},
        {u"PixelsPerSecondSuffix"_s, u" 像素/秒"_s},
        {u"PauseOnHover"_s, u"指针停在条带上时暂停"_s},
        {u"LabelGroup"_s, u"面板标签"_s},
        {u"LabelShows"_s, u"标签"_s},
        {u"LabelScrolling"_s, u"滚动文字"_s},
        {u"LabelQuote"_s, u"整条引语"_s},
        {u"LabelOff"_s, u"仅图标"_s},
        {u"LabelColumns"_s, u"宽度"_s},
        {u"ColumnsSuffix"_s, u" 列"_s},
        {u"LabelInterval"_s, u"步进间隔"_s},
        {u"MillisecondsSuffix"_s, u" 毫秒"_s},
        {u"LabelIntervalDescription"_s, u"滚动标签两步之间的时间。"_s},
        {u"TextGroup"_s, u"文字"_s},
        {u"Order"_s, u"引语顺序"_s},
        {u"OrderWritten"_s, u"按编写顺序"_s},
        {u"OrderShuffled"_s, u"随机打乱"_s},
        {u"OrderDescription"_s, u"随机打乱：每次重新显示引语时使用新的顺序。"_s},
        {u"TickerInStrip"_s, u"条带正在显示滚动文字。"_s},
        {u"TickerInStripNoPanel"_s, u"这里没有面板以标签显示滚动文字，所以由条带显示。"_s},
        {u"TickerInStripAndPanel"_s, u"条带正在显示滚动文字，面板也在显示。"_s},
        {u"TickerInLabel"_s, u"面板显示标签，所以条带保持隐藏。"_s},
        {u"TickerInWidget"_s, u"面板上的 Sayvane 小部件显示滚动文字，所以条带保持隐藏。"_s},
        {u"TickerTiling"_s,
         u"此窗口管理器平铺窗口，所以条带保持隐藏；状态栏可以用 sayvane --bar 显示滚动文字。"_s},
        {u"TickerOffInPanel"_s, u"条带已关闭；面板显示滚动文字。"_s},
        {u"TickerOffNowhere"_s, u"条带已关闭，也没有面板显示滚动文字。"_s},
        {u"StripOffRefused"_s, u"条带保持显示：否则将没有面板项目或托盘图标可以打开菜单。"_s},
        {u"QuoteList"_s, u"引语列表"_s},
        {u"NewQuote"_s, u"新引语"_s},
        {u"NewQuoteDescription"_s, u"输入引语后按回车键添加。"_s},
        {u"QuoteNumber"_s, u"引语 %1"_s},
        {u"QuoteFieldDescription"_s, u"按回车键保存引语。"_s},
        {u"DeleteQuoteNumber"_s, u"删除引语 %1"_s},
        {u"AddDescription"_s, u"将新引语添加到列表。"_s},
        {u"ImportDescription"_s, u"添加文本文件中的引语，跳过已有的引语。"_s},
        {u"StripButtonDescription"_s, u"打开 Sayvane 的菜单。"_s},
        {u"TickerDescription"_s, u"正经过滚动文字中间的引语。"_s},
        {u"OpenQuotesFile"_s, u"打开引语文件"_s},
        {u"Pause"_s, u"暂停"_s},
        {u"AboutSayvane"_s, u"关于 Sayvane"_s},
        {u"AboutVersion"_s, u"版本 %1"_s},
        {u"AboutDescription"_s, u"你自己的引语，在屏幕顶部滚动。"_s},
        {u"AboutLicence"_s, u"依据 %1 许可证发布的自由软件。"_s},
        {u"AboutHomepage"_s, u"主页"_s},
        {u"AboutQuotesFile"_s, u"你的引语保存在"_s},
        {u"Close"_s, u"关闭"_s},
        {u"Find"_s, u"查找..."_s},
        {u"FindQuotes"_s, u"查找引语"_s},
        {u"ClearSearch"_s, u"清除搜索"_s},
        {u"NoMatches"_s, u"没有包含“%1”的引语"_s},
        {u"UndoStep"_s, u"撤销%1"_s},
        {u"RedoStep"_s, u"重做%1"_s},
        {u"DeleteQuoteStep"_s, u"删除引语"_s},
        {u"AddQuoteStep"_s, u"添加引语"_s},
        {u"AddQuotesStep"_s, u"添加多条引语"_s},
        {u"EditQuoteStep"_s, u"编辑引语"_s},
        {u"MoveQuoteStep"_s, u"移动引语"_s},
        {u"MoveUp"_s, u"上移"_s},
        {u"MoveDown"_s, u"下移"_s},
        {u"DragToMove"_s, u"拖动以移动引语"_s},
        {u"NoQuotesFound"_s, u"没有找到引语。添加一些吧！"_s},
        {u"ErrorLoadingQuotes"_s, u"加载引语文件时出错"_s},
        {u"CopyKeptTitle"_s, u"Sayvane 保留了一份引语副本"_s},
        {u"ConflictCopyKept"_s, u"另一个程序同时修改了引语文件；它的版本保存为 %1"_s},
        {u"BrokenCopyKept"_s, u"无法加载引语文件；它保存为 %1"_s},
        {u"DuplicateNamesCopyKept"_s, u"引语文件中有成员名出现了两次；它保存为 %1"_s},
    };
    switch (language) {
    case AppLanguage::english:
        return english;
    case AppLanguage::vietnamese:
        return vietnamese;
    case AppLanguage::chinese:
        return chinese;
    }
    return english;
}

} // namespace

AppLanguage AppLanguages::stored(const QSettings& settings) {
    const QString value =
        settings.value(LocalizationManager::storedLanguageKey, u"en"_s).toString();
    return fromRawValue(value).value_or(AppLanguage::english);
}

QString localizedString(AppLanguage language, const QString& key) {
    if (const auto text = table(language).constFind(key); text != table(language).cend())
        return *text;
    const Table& english = table(AppLanguage::english);
    if (const auto text = english.constFind(key); text != english.cend())
        return *text;
    return key;
}

LocalizationManager& LocalizationManager::shared() {
    // A function-local static is made once even under concurrent first use; never destroyed,
    // since observers may still ask for texts while the process ends.
    static LocalizationManager* const manager = [] {
        auto* made = new LocalizationManager(Settings::open());
        if (auto* app = QCoreApplication::instance(); app && made->thread() != app->thread())
            made->moveToThread(app->thread());
        return made;
    }();
    return *manager;
}

LocalizationManager::LocalizationManager(std::unique_ptr<QSettings> settings)
    : currentLanguage(this, AppLanguages::stored(*settings),
                      [this](AppLanguage language) {
                          this->userDefaults->setValue(storedLanguageKey,
                                                       AppLanguages::rawValue(language));
                          this->userDefaults->sync();
                          NotificationCenter::defaultCenter().post(languageChangedNotification);
                      })
    , userDefaults(std::move(settings)) {}

LocalizationManager::~LocalizationManager() = default;

QString LocalizationManager::localizedString(const QString& key) const {
    return ::localizedString(currentLanguage, key);
}
