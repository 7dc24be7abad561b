# Writes the open-source notice page that ships beside the programs, from what they really link:
# every shared library the dynamic loader resolves for each program (ldd), plus the header-only
# libraries compiled into them. Each library file is mapped to its Debian package (dpkg -S), and
# the package to its source package, version and licences (the License fields of
# /usr/share/doc/<package>/copyright). Without dpkg the page lists the library files and says
# where their notices could not be looked up.
#
#   cmake -DPROGRAMS="a|b" -DHEADERS="x.hpp|y.h" -DOUTPUT=page.html -DPRODUCT="Name 1.0.0"
#         -P OpenSourceNotice.cmake

cmake_minimum_required(VERSION 3.25)

string(REPLACE "|" ";" PROGRAMS "${PROGRAMS}")
string(REPLACE "|" ";" HEADERS "${HEADERS}")

function(html_escape out text)
  string(REPLACE "&" "&amp;" text "${text}")
  string(REPLACE "<" "&lt;" text "${text}")
  string(REPLACE ">" "&gt;" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# The shared libraries a program loads, as resolved paths.
function(linked_libraries out program)
  set(found "")
  execute_process(COMMAND ldd "${program}" OUTPUT_VARIABLE listing RESULT_VARIABLE status
                  ERROR_QUIET)
  if(NOT status EQUAL 0)
    message(WARNING "OpenSourceNotice: ldd cannot read ${program}")
  endif()
  string(REPLACE "\n" ";" lines "${listing}")
  foreach(line IN LISTS lines)
    if(line MATCHES "=> (/[^ ]+) \\(")
      list(APPEND found "${CMAKE_MATCH_1}")
    elseif(line MATCHES "^[ \t]*(/[^ ]+) \\(")
      list(APPEND found "${CMAKE_MATCH_1}")
    endif()
  endforeach()
  set(${out} "${found}" PARENT_SCOPE)
endfunction()

# The spellings under which dpkg may know a file: Debian 12 merges /lib into /usr/lib, and dpkg
# knows a file under the name its package gave it.
function(file_spellings out file)
  set(spellings "${file}")
  file(REAL_PATH "${file}" real)
  foreach(name IN ITEMS "${file}" "${real}")
    list(APPEND spellings "${name}")
    if(name MATCHES "^/usr(/.*)$")
      list(APPEND spellings "${CMAKE_MATCH_1}")
    else()
      list(APPEND spellings "/usr${name}")
    endif()
  endforeach()
  list(REMOVE_DUPLICATES spellings)
  set(${out} "${spellings}" PARENT_SCOPE)
endfunction()

# "License:" values of a machine-readable copyright file, each named once.
function(package_licences out package)
  set(names "")
  set(copyright "/usr/share/doc/${package}/copyright")
  if(EXISTS "${copyright}")
    file(STRINGS "${copyright}" lines REGEX "^License:")
    foreach(line IN LISTS lines)
      string(REGEX REPLACE "^License:[ \t]*" "" name "${line}")
      string(STRIP "${name}" name)
      if(name AND NOT name IN_LIST names)
        list(APPEND names "${name}")
      endif()
    endforeach()
    # A notice in free form: name the licences its text quotes.
    if(NOT names)
      file(READ "${copyright}" text)
      string(REGEX REPLACE "[ \t\r\n]+" " " text "${text}")
      foreach(pair IN ITEMS "GNU Lesser General Public License=LGPL"
                            "GNU Library General Public License=LGPL"
                            "Mozilla Public License=MPL" "GNU General Public License=GPL"
                            "Apache License=Apache" "Permission is hereby granted=MIT-style"
                            "Redistribution and use in source and binary forms=BSD-style"
                            "Permission to use, copy, modify=ISC-style")
        string(REPLACE "=" ";" pair "${pair}")
        list(GET pair 0 phrase)
        list(GET pair 1 name)
        string(FIND "${text}" "${phrase}" at)
        if(at GREATER_EQUAL 0 AND NOT name IN_LIST names)
          list(APPEND names "${name}")
        endif()
      endforeach()
    endif()
  endif()
  set(${out} "${names}" PARENT_SCOPE)
endfunction()

find_program(DPKG dpkg)
find_program(DPKG_QUERY dpkg-query)

set(files "")
foreach(program IN LISTS PROGRAMS)
  if(EXISTS "${program}")
    linked_libraries(libraries "${program}")
    list(APPEND files ${libraries})
  endif()
endforeach()
foreach(header IN LISTS HEADERS)
  if(EXISTS "${header}")
    list(APPEND files "${header}")
  endif()
endforeach()
list(REMOVE_DUPLICATES files)
list(SORT files)

# One dpkg call for every spelling of every file (dpkg is slow to start): "pkg[:arch][, …]: path".
set(all_spellings "")
foreach(file IN LISTS files)
  file_spellings(spellings "${file}")
  set("spellings_of_${file}" "${spellings}")
  list(APPEND all_spellings ${spellings})
endforeach()
if(DPKG AND all_spellings)
  execute_process(COMMAND ${DPKG} -S ${all_spellings} OUTPUT_VARIABLE answer ERROR_QUIET)
  string(REPLACE "\n" ";" lines "${answer}")
  foreach(line IN LISTS lines)
    if(line MATCHES "^([^:, ]+)[^/]*: (/.*)$")
      set("package_of_${CMAKE_MATCH_2}" "${CMAKE_MATCH_1}")
    endif()
  endforeach()
endif()

set(packages "")
set(unowned "")
foreach(file IN LISTS files)
  set(package "")
  foreach(spelling IN LISTS "spellings_of_${file}")
    if(DEFINED "package_of_${spelling}")
      set(package "${package_of_${spelling}}")
      break()
    endif()
  endforeach()
  if(package)
    list(APPEND packages "${package}")
    list(APPEND "files_of_${package}" "${file}")
  else()
    list(APPEND unowned "${file}")
  endif()
endforeach()
list(REMOVE_DUPLICATES packages)
list(SORT packages)

html_escape(product "${PRODUCT}")
set(page "<!DOCTYPE html>\n<html lang=\"en\">\n<head><meta charset=\"utf-8\">\n")
string(APPEND page "<title>Open-source software in ${product}</title></head>\n<body>\n")
string(APPEND page "<h1>Open-source software in ${product}</h1>\n")
string(APPEND page "<p>The programs of ${product} use the open-source components below. "
  "Each is listed with the licences its copyright notice names and where its source and "
  "full notice are found. The list is made when the programs are built, from the libraries "
  "they link.</p>\n")

# Source package and version of every package, in one call.
if(DPKG_QUERY AND packages)
  execute_process(COMMAND ${DPKG_QUERY} -W -f=\${Package}|\${source:Package}|\${Version}\n
                          ${packages}
                  OUTPUT_VARIABLE answer ERROR_QUIET)
  string(REPLACE "\n" ";" lines "${answer}")
  foreach(line IN LISTS lines)
    if(line MATCHES "^([^|]+)\\|([^|]*)\\|(.*)$")
      set("source_of_${CMAKE_MATCH_1}" "${CMAKE_MATCH_2}")
      set("version_of_${CMAKE_MATCH_1}" "${CMAKE_MATCH_3}")
    endif()
  endforeach()
endif()

foreach(package IN LISTS packages)
  set(source "${package}")
  set(version "")
  if(DEFINED "source_of_${package}")
    set(source "${source_of_${package}}")
    set(version "${version_of_${package}}")
  endif()
  package_licences(licences "${package}")
  if(licences)
    list(JOIN licences ", " licence_text)
  else()
    set(licence_text "see the copyright notice")
  endif()
  set(names "")
  foreach(file IN LISTS "files_of_${package}")
    get_filename_component(name "${file}" NAME)
    list(APPEND names "${name}")
  endforeach()
  list(JOIN names ", " name_text)
  foreach(var source version licence_text name_text)
    html_escape(${var} "${${var}}")
  endforeach()
  string(APPEND page "<h2>${package}</h2>\n")
  string(APPEND page "<p>Files: ${name_text}</p>\n")
  string(APPEND page "<p>Licence: ${licence_text}</p>\n")
  string(APPEND page "<p>Source: Debian source package ${source}")
  if(version)
    string(APPEND page " version ${version}")
  endif()
  string(APPEND page "; copyright notice: /usr/share/doc/${package}/copyright</p>\n")
endforeach()

if(unowned)
  string(APPEND page "<h2>Other components</h2>\n")
  if(NOT DPKG)
    string(APPEND page "<p>The package manager was not available when the programs were built, "
      "so these files are listed without their licences; each library's own distribution "
      "holds its notice.</p>\n")
  endif()
  foreach(file IN LISTS unowned)
    html_escape(file "${file}")
    string(APPEND page "<p>${file}</p>\n")
  endforeach()
endif()

string(APPEND page "</body>\n</html>\n")
file(WRITE "${OUTPUT}.tmp" "${page}")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
