#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace deskfind {

// The update command's texts, as the customer reads them: every box, the captions, and the
// progress window's.

inline constexpr std::string_view kErrorText = "Не удаётся закачать новую версию программы";
inline constexpr std::string_view kErrorCaption = "Проверьте наличие соединения с интернетом";
inline constexpr std::string_view kNoNewVersionText = "Новой версии программы пока нет!";
inline constexpr std::string_view kNoNewVersionCaption = "Зайдите через недельку :-))";
inline constexpr std::string_view kLeftBehindText = "\r\rНе удалось удалить файл ";
inline constexpr std::string_view kLocalFailureText = "\r\rНе удалось записать файл ";
inline constexpr std::string_view kLocalReadFailureText = "\r\rНе удалось прочитать файл ";
inline constexpr std::string_view kNotSignedText =
    "Закачанный файл не подписан магазином Столвер и удалён";
// The caption of both boxes that refuse a downloaded program.
inline constexpr std::string_view kNotStartedCaption = "Новая версия не запущена";
inline constexpr std::string_view kNotNewerText =
    "Закачанный файл не является новой версией программы и удалён";
// The boxes of version data that a signed copy does not accept.
inline constexpr std::string_view kUncheckedCaption = "Новая версия не проверена";
inline constexpr std::string_view kDataNotSignedText =
    "Сведения о новой версии программы на сайте не подписаны магазином.";
inline constexpr std::string_view kDataExpiredText =
    "Сведения о новой версии программы на сайте устарели: они действительны до ";
inline constexpr std::string_view kDataExpiredAdvice = ".\r\rПопробуйте позже.";
inline constexpr std::string_view kClockBehindText =
    "Часы этого компьютера отстают: сведения о новой версии программы выпущены ";
inline constexpr std::string_view kClockBehindAdvice = ".\r\rПроверьте дату и время.";
inline constexpr std::string_view kDataOlderText =
    "Сведения о новой версии программы старше уже полученных: возможно, их подменили.";
inline constexpr std::string_view kOfferText =
    "Есть новая версия программы!\rБудем скачивать ???\r\rОбъём скачиваемого файла ~ 0,6 Мб";

// The question before the hand-over: the new program's file name and the folder it is in.
std::string HandOverText(std::string_view programName, std::string_view folder);

// The caption of the window that shows a download running: the program file's, or a version
// file's.
std::string_view DownloadCaption(bool programFile);
// How much of a download has come, in whole kilobytes: "Получено 312 КБ из 612 КБ", or
// "Получено 312 КБ" when the server announced no length (announced 0).
std::string ReceivedText(std::size_t received, std::size_t announced);

}  // namespace deskfind
