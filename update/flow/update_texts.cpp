#include "update/flow/update_texts.h"

namespace deskfind {

std::string HandOverText(std::string_view programName, std::string_view folder) {
  std::string text = "Новая версия программы закачена!\r\rпод именем ";
  text += programName;
  text += "\r\rв папку ";
  text += folder;
  text += "\r\rЗапустить новую версию, закрыв старую ???";
  return text;
}

std::string_view DownloadCaption(bool programFile) {
  return programFile ? "Закачка новой версии программы" : "Проверка новой версии программы";
}

std::string ReceivedText(std::size_t received, std::size_t announced) {
  std::string text = "Получено " + std::to_string(received / 1024) + " КБ";
  if (announced > 0) text += " из " + std::to_string(announced / 1024) + " КБ";
  return text;
}

}  // namespace deskfind
