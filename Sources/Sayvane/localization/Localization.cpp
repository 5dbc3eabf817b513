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
        {u"QuoteList"_s, u"Quotes"_s},
        {u"NewQuote"_s, u"New quote"_s},
        {u"NewQuoteDescription"_s, u"Type a quote and press Return to add it."_s},
        {u"QuoteNumber"_s, u"Quote %1"_s},
        {u"QuoteFieldDescription"_s, u"Return saves the quotes."_s},
        {u"DeleteQuoteNumber"_s, u"Delete quote %1"_s},
        {u"AddDescription"_s, u"Adds the new quote to the list."_s},
        {u"ImportDescription"_s,
         u"Adds the quotes of a text file, leaving out those already there."_s},
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
        {u"QuoteList"_s, u"Danh sách trích dẫn"_s},
        {u"NewQuote"_s, u"Trích dẫn mới"_s},
        {u"NewQuoteDescription"_s, u"Gõ một trích dẫn rồi nhấn Enter để thêm."_s},
        {u"QuoteNumber"_s, u"Trích dẫn %1"_s},
        {u"QuoteFieldDescription"_s, u"Nhấn Enter để lưu các trích dẫn."_s},
        {u"DeleteQuoteNumber"_s, u"Xoá trích dẫn %1"_s},
        {u"AddDescription"_s, u"Thêm trích dẫn mới vào danh sách."_s},
        {u"ImportDescription"_s,
         u"Thêm các trích dẫn từ một tệp văn bản, bỏ qua những trích dẫn đã có."_s},
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
        {u"QuoteList"_s, u"引语列表"_s},
        {u"NewQuote"_s, u"新引语"_s},
        {u"NewQuoteDescription"_s, u"输入引语后按回车键添加。"_s},
        {u"QuoteNumber"_s, u"引语 %1"_s},
        {u"QuoteFieldDescription"_s, u"按回车键保存引语。"_s},
        {u"DeleteQuoteNumber"_s, u"删除引语 %1"_s},
        {u"AddDescription"_s, u"将新引语添加到列表。"_s},
        {u"ImportDescription"_s, u"添加文本文件中的引语，跳过已有的引语。"_s},
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
