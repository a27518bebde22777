// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>
#include <string_view>

namespace strixa {

// The program's fixed texts, byte for byte, so every test that runs it compares against one copy.

// With no readable file named: the banner, with the copyright running to the given year.
inline std::string BannerBytes(int year) {
  return " \r\n"
         "Vantelo V1.7\r\n"
         "(c) 2003-" +
         std::to_string(year) +
         " Strixa Software\r\n"
         " \r\n"
         "The Strixa developers\r\n"
         "https://strixa.example.org\r\n"
         "info@strixa.example.org\r\n"
         " \r\n"
         "Please check Vantelo.DLL which is maintained, much more faster, more\r\n"
         "reliable and better optimising the results. Perfect for developers.\r\n"
         "The DLL returns orientation of barcodes, too. It also is able\r\n"
         "to handle TIF, JPG, PNG and even PDF(!) files directly...\r\n"
         " \r\n"
         "Usage: Strixa.exe <optional switches> <filename>\r\n";
}

// When the named file exists but is not a picture the program can read.
inline std::string CannotOpenBytes(std::string_view name) {
  return " \r\n"
         "Usage: Strixa.exe <filename>\r\n"
         " \r\n"
         "Error: can not open input file:\r\n" +
         std::string(name) +
         "\r\n"
         " \r\n"
         "Please check Vantelo.DLL which is maintained, much more faster, more\r\n"
         "reliable and better optimising the results. Perfect for developers.\r\n"
         "The DLL returns position and orientation of barcodes, too. It also is able\r\n"
         "to handle TIF, JPG, PNG and even PDF(!) files directly...\r\n"
         " \r\n"
         "Please have a look at https://strixa.example.org\r\n";
}

}  // namespace strixa
