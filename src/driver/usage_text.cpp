// SPDX-License-Identifier: MIT
#include "driver/usage_text.h"

#include <array>
#include <cstddef>
#include <optional>

#include "container/utf8.h"

namespace driver {
namespace {

// Held as UTF-8 so the source stays readable; the explicit "\r\n" keeps the
// bytes independent of how the source file's own line endings are stored.
// Compilers must read this file as UTF-8 (MSVC: /utf-8).
constexpr std::string_view kUsageUtf8 =
    "Varnhold v1.1! Ostrelind.\r\n"
    "\r\n"
    "Программа позволяет преобразовать ЛЮБОЙ файл в картинку Bitmap.\r\n"
    "Предназначена либо для прямого перетаскивания файлов, либо для скриптов BAT.\r\n"
    "Использование - перетащите файл на программу:\r\n"
    "Varnhold.exe [AnyFile | Image.bmp]                 Результат:\r\n"
    "При кодировании - новый файл с именем исходного+\r\n"
    "                            `.bmp` ИЛИ +`.~`, если не удалось первый.\r\n"
    "(например `C:\\song.mp3` станет `C:\\song.mp3.bmp` ИЛИ `C:\\song.mp3.~`)\r\n"
    "Расширение (только то, что после последней точки)\r\n"
    "                            будет сохранено в картинку вместе с данными.\r\n"
    "Если его нет - приравнивается `.~` Картинку МОЖНО конвертировать в любой формат\r\n"
    "                            (но только если без потери качества, например PNG)\r\n"
    "При восстановлении - новый файл с именем исходного + расширение,\r\n"
    "              сохранённое в картинке ИЛИ `.~` (В примере `C:\\song.mp3.bmp.mp3`)\r\n"
    "Размеры получаемой при кодировании картинки вычисляются следующим образом:\r\n"
    "1) Ширина всегда кратна `8`.\r\n"
    "2) Отношение длинной стороны к короткой\r\n"
    "                     не превосходит `4/3`, если возможно по пункту 1.\r\n"
    "3) Если в пункте 2 имеется несколько вариантов, то используется тот,\r\n"
    "                     в котором незанятое пространство будет минимально.\r\n"
    "4) Если после пункта 3 осталось несколько одинаковых наборов, то берётся тот,\r\n"
    "                     где отношение сторон ближе к квадрату.\r\n"
    "Использованные константы (`8` и `1.3333333`)\r\n"
    "            могут быть переопределены следующими переменными среды:\r\n"
    "VARNHOLD_DIVISOR - целое, кратность ширины (1 для любой);нечётные\r\n"
    "                          значения могут вызвать ошибочные картинки.\r\n"
    "VARNHOLD_FRACTION - дробное, максимальное отношение сторон\r\n"
    "              (1 - только квадрат); если меньше нуля, то берётся обратное (1/X)\r\n"
    "Примерный Batch код для их изменения:\r\n"
    "\r\n"
    "set /A VARNHOLD_DIVISOR=4\r\n"
    "set /A VARNHOLD_FRACTION=720/240\r\n"
    "Varnhold.exe %1\r\n"
    "If ERRORLEVEL 1 echo Fail!\r\n"
    "\r\n"
    "Для получения сведений о результате преобразования можно использовать либо\r\n"
    "        код возврата %ERRORLEVEL%, либо число, выведенное в консоль.\r\n"
    "Расшифровки кода возврата:\r\n"
    "\r\n"
    "0 - Успех операции.\r\n"
    "             Вывод в консоль расширения созданного файла с точкой впереди.\r\n"
    "1 - Ошибка открытия входного файла ИЛИ\r\n"
    "                          его размер превосходит 256 Мб (при кодировании).\r\n"
    "2 - Ошибка создания выходного файла\r\n"
    "                             даже со второй попытки (с расширением `.~` ).\r\n"
    "3 - Ошибка чтения BitMap заголовка ИЛИ\r\n"
    "                       ошибка записи этого заголовка (при восстановлении).\r\n"
    "4 - Ошибка копирования содержимого между файлами.\r\n"
    "5 - Количество аргументов не равно одному ИЛИ\r\n"
    "                     входной файл не найден; вывод этой справки в консоль.\r\n"
    "\r\n"
    "За исключением 0 и 5, в консоль выводится тот же самый код возврата.\r\n"
    "Расширение при успехе передаётся для того, чтобы было известно имя нового\r\n"
    " файла, потому как оно извлекается из самой картинки и неизвестно заранее.\r\n"
    "Вот пример сценария,\r\n"
    "             запускающего результат обработки перетащенного на него файла:\r\n"
    "\r\n"
    "@echo off\r\n"
    "cd /D %~dp0\r\n"
    "for /F \"usebackq\" %%I in (`Varnhold.exe %1`) do set file=%%I\r\n"
    "if \"%file:~0,1%\" == \".\" start \"\" \"%~1%file%\"\r\n";

// CP866 bytes 0xF0..0xFF; the letters А..я are contiguous ranges handled below.
constexpr std::array<char32_t, 16> kCp866UpperRow = {U'\u0401', U'\u0451', U'\u0404', U'\u0454', U'\u0407', U'\u0457',
                                                     U'\u040E', U'\u045E', U'\u00B0', U'\u2219', U'\u00B7', U'\u221A',
                                                     U'\u2116', U'\u00A4', U'\u25A0', U'\u00A0'};

std::optional<unsigned char> Cp866ByteFor(char32_t cp) {
  if (cp < 0x80) return static_cast<unsigned char>(cp);
  if (cp >= U'\u0410' && cp <= U'\u043F')  // А..Я, а..п
    return static_cast<unsigned char>(0x80 + (cp - U'\u0410'));
  if (cp >= U'\u0440' && cp <= U'\u044F')  // р..я
    return static_cast<unsigned char>(0xE0 + (cp - U'\u0440'));
  for (std::size_t i = 0; i < kCp866UpperRow.size(); ++i)
    if (kCp866UpperRow[i] == cp) return static_cast<unsigned char>(0xF0 + i);
  return std::nullopt;
}

}  // namespace

std::string_view UsageTextUtf8() { return kUsageUtf8; }

std::string_view UsagePromptUtf8() { return "Нажмите любую клавишу, чтобы закрыть окно..."; }

std::string FailurePromptUtf8(ExitCode code) {
  std::string_view reason;
  switch (code) {
    case kInputFailed:
      reason = "Ошибка 1: входной файл не открывается (занят, нет прав) или больше 256 Мб.";
      break;
    case kOutputFailed:
      reason = "Ошибка 2: выходной файл не удалось создать ни под одним из двух имён.";
      break;
    case kRecordFailed:
      reason = "Ошибка 3: заголовок не того вида, оборван, ведёт в другую папку или не записан.";
      break;
    case kCopyFailed:
      reason = "Ошибка 4: не удалось скопировать содержимое между файлами.";
      break;
    case kSuccess:
    case kUsage:
      return {};
  }
  // The code was printed without a line break: the reason starts a line.
  return "\r\n" + std::string(reason) + "\r\n" + std::string(UsagePromptUtf8());
}

std::string ToCp866(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    const auto cp = container::NextCodePoint(utf8, pos);
    const auto byte = cp ? Cp866ByteFor(*cp) : std::nullopt;
    out.push_back(static_cast<char>(byte.value_or('?')));
  }
  return out;
}

std::string UsageTextCp866() { return ToCp866(UsageTextUtf8()); }

}  // namespace driver
