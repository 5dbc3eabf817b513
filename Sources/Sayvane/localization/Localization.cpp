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
