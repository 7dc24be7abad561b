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

# The package that installed a file ("" when none is known). Debian 12 merges /lib into /usr/lib,
# and dpkg knows a file under the name its package gave it, so both spellings are asked.
function(owning_package out file)
  set(package "")
  set(candidates "${file}")
  if(file MATCHES "^/usr(/.*)$")
    list(APPEND candidates "${CMAKE_MATCH_1}")
  else()
    list(APPEND candidates "/usr${file}")
  endif()
  file(REAL_PATH "${file}" real)
  list(APPEND candidates "${real}")
  if(real MATCHES "^/usr(/.*)$")
    list(APPEND candidates "${CMAKE_MATCH_1}")
  endif()
  foreach(candidate IN LISTS candidates)
    execute_process(COMMAND dpkg -S "${candidate}" OUTPUT_VARIABLE answer RESULT_VARIABLE status
                    ERROR_QUIET)
    if(status EQUAL 0 AND answer MATCHES "^([^:, ]+)")
      set(package "${CMAKE_MATCH_1}")
      break()
    endif()
  endforeach()
  set(${out} "${package}" PARENT_SCOPE)
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

set(packages "")
set(unowned "")
foreach(file IN LISTS files)
  set(package "")
  if(DPKG)
    owning_package(package "${file}")
  endif()
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

foreach(package IN LISTS packages)
  set(source "${package}")
  set(version "")
  if(DPKG_QUERY)
    execute_process(COMMAND ${DPKG_QUERY} -W -f=\${source:Package}|\${Version} "${package}"
                    OUTPUT_VARIABLE answer RESULT_VARIABLE status ERROR_QUIET)
    if(status EQUAL 0 AND answer MATCHES "^([^|]*)\\|(.*)$")
      set(source "${CMAKE_MATCH_1}")
      set(version "${CMAKE_MATCH_2}")
    endif()
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
