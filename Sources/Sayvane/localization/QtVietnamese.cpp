#include "QtVietnamese.h"

#include <QHash>

using namespace Qt::StringLiterals;

namespace QtVietnamese {

QString text(const char* context, const char* sourceText) {
    // Context and source text as Qt 6 passes them to a translator.
    static const QHash<QString, QString> texts = {
        // The standard buttons.
        {u"QPlatformTheme|OK"_s, u"Đồng ý"_s},
        {u"QPlatformTheme|Open"_s, u"Mở"_s},
        {u"QPlatformTheme|Save"_s, u"Lưu"_s},
        {u"QPlatformTheme|Cancel"_s, u"Huỷ"_s},
        {u"QPlatformTheme|Close"_s, u"Đóng"_s},
        {u"QPlatformTheme|Yes"_s, u"Có"_s},
        {u"QPlatformTheme|No"_s, u"Không"_s},
        // The file dialog.
        {u"QFileDialog|Look in:"_s, u"Tìm trong:"_s},
        {u"QFileDialog|File &name:"_s, u"&Tên tệp:"_s},
        {u"QFileDialog|Files of type:"_s, u"Kiểu tệp:"_s},
        {u"QFileDialog|&Open"_s, u"&Mở"_s},
        {u"QFileDialog|&Save"_s, u"&Lưu"_s},
        {u"QFileDialog|&Choose"_s, u"&Chọn"_s},
        {u"QFileDialog|Open"_s, u"Mở"_s},
        {u"QFileDialog|Save As"_s, u"Lưu thành"_s},
        {u"QFileDialog|Find Directory"_s, u"Tìm thư mục"_s},
        {u"QFileDialog|Directory:"_s, u"Thư mục:"_s},
        {u"QFileDialog|Directories"_s, u"Thư mục"_s},
        {u"QFileDialog|Files"_s, u"Tệp"_s},
        {u"QFileDialog|All Files (*)"_s, u"Mọi tệp (*)"_s},
        {u"QFileDialog|Back"_s, u"Lùi"_s},
        {u"QFileDialog|Go back"_s, u"Quay lại"_s},
        {u"QFileDialog|Forward"_s, u"Tiến"_s},
        {u"QFileDialog|Go forward"_s, u"Đi tiếp"_s},
        {u"QFileDialog|Parent Directory"_s, u"Thư mục cha"_s},
        {u"QFileDialog|Go to the parent directory"_s, u"Lên thư mục cha"_s},
        {u"QFileDialog|Create New Folder"_s, u"Tạo thư mục mới"_s},
        {u"QFileDialog|Create a New Folder"_s, u"Tạo một thư mục mới"_s},
        {u"QFileDialog|List View"_s, u"Xem dạng danh sách"_s},
        {u"QFileDialog|Change to list view mode"_s, u"Chuyển sang kiểu xem danh sách"_s},
        {u"QFileDialog|Detail View"_s, u"Xem chi tiết"_s},
        {u"QFileDialog|Change to detail view mode"_s, u"Chuyển sang kiểu xem chi tiết"_s},
        {u"QFileDialog|Sidebar"_s, u"Thanh bên"_s},
        {u"QFileDialog|List of places and bookmarks"_s, u"Danh sách địa điểm và dấu trang"_s},
        {u"QFileDialog|Recent Places"_s, u"Nơi gần đây"_s},
        {u"QFileDialog|My Computer"_s, u"Máy tính của tôi"_s},
        {u"QFileDialog|Show "_s, u"Hiện "_s},
        {u"QFileDialog|&Rename"_s, u"Đổi &tên"_s},
        {u"QFileDialog|&Delete"_s, u"&Xoá"_s},
        {u"QFileDialog|Show &hidden files"_s, u"Hiện tệp &ẩn"_s},
        {u"QFileDialog|&New Folder"_s, u"Thư mục &mới"_s},
        {u"QFileDialog|New Folder"_s, u"Thư mục mới"_s},
        {u"QFileDialog|%1\nFile not found.\nPlease verify the correct file name was given."_s,
         u"%1\nKhông tìm thấy tệp.\nHãy kiểm tra lại tên tệp đã nhập."_s},
        {u"QFileDialog|%1\nDirectory not found.\nPlease verify the correct directory name was "
         "given."_s,
         u"%1\nKhông tìm thấy thư mục.\nHãy kiểm tra lại tên thư mục đã nhập."_s},
        {u"QFileDialog|%1 already exists.\nDo you want to replace it?"_s,
         u"%1 đã có.\nBạn có muốn thay nó không?"_s},
        {u"QFileDialog|Are you sure you want to delete '%1'?"_s,
         u"Bạn có chắc muốn xoá '%1' không?"_s},
        {u"QFileDialog|'%1' is write protected.\nDo you want to delete it anyway?"_s,
         u"'%1' được bảo vệ chống ghi.\nBạn vẫn muốn xoá nó?"_s},
        {u"QFileDialog|Could not delete directory."_s, u"Không xoá được thư mục."_s},
        // The file list's columns and kinds.
        {u"QFileSystemModel|Name"_s, u"Tên"_s},
        {u"QFileSystemModel|Size"_s, u"Kích thước"_s},
        {u"QFileSystemModel|Type"_s, u"Kiểu"_s},
        {u"QFileSystemModel|Date Modified"_s, u"Ngày sửa"_s},
        {u"QFileSystemModel|Computer"_s, u"Máy tính"_s},
        {u"QFileSystemModel|Invalid filename"_s, u"Tên tệp không hợp lệ"_s},
        {u"QFileSystemModel|<b>The name \"%1\" cannot be used.</b><p>Try using another name, "
         "with fewer characters or no punctuation marks."_s,
         u"<b>Không dùng được tên \"%1\".</b><p>Hãy thử tên khác, ít ký tự hơn hoặc không có "
         "dấu câu."_s},
        {u"QAbstractFileIconProvider|Drive"_s, u"Ổ đĩa"_s},
        {u"QAbstractFileIconProvider|Folder"_s, u"Thư mục"_s},
        {u"QAbstractFileIconProvider|Shortcut"_s, u"Lối tắt"_s},
        {u"QAbstractFileIconProvider|Unknown"_s, u"Không rõ"_s},
        {u"QAbstractFileIconProvider|%1 File"_s, u"Tệp %1"_s},
    };
    if (!context || !sourceText)
        return {};
    return texts.value(QString::fromUtf8(context) + u'|' + QString::fromUtf8(sourceText));
}

} // namespace QtVietnamese
