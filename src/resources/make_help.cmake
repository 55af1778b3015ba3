# Writes the program's French help page from the main menu, the menu texts
# of the string table (string N + 1000 of command N) and the main frame's
# keys, so that it always lists the commands the program has.
#   cmake -DMENU=<1101.menu> -DSTRINGS=<strings folder> -DKEYS=<1102.acc> -DOUTPUT=<CAideNuv.html> -P make_help.cmake

# Text of a menu line as a page shows it: mnemonics gone, HTML escaped.
function(help_text in out)
  string(REPLACE "&&" "@@amp@@" t "${in}")
  string(REPLACE "&" "" t "${t}")
  string(REPLACE "@@amp@@" "&" t "${t}")
  string(REPLACE "&" "&amp;" t "${t}")
  string(REPLACE "<" "&lt;" t "${t}")
  string(REPLACE ">" "&gt;" t "${t}")
  set(${out} "${t}" PARENT_SCOPE)
endfunction()

# Menu texts of the string table, by string id.
file(GLOB string_files "${STRINGS}/*.txt")
foreach(f IN LISTS string_files)
  file(STRINGS "${f}" string_lines ENCODING UTF-8 REGEX "^2[0-9][0-9][0-9][0-9]\t")
  foreach(line IN LISTS string_lines)
    if(line MATCHES "^([0-9]+)\t(.*)$")
      set(str_${CMAKE_MATCH_1} "${CMAKE_MATCH_2}")
    endif()
  endforeach()
endforeach()

# Keys of the main frame's accelerator table, by command id.
file(STRINGS "${KEYS}" key_lines ENCODING UTF-8)
foreach(line IN LISTS key_lines)
  if(line MATCHES "^([^#\t][^\t]*)\t([0-9]+)$")
    set(key_${CMAKE_MATCH_2} "${CMAKE_MATCH_1}")
  endif()
endforeach()

set(html "<!DOCTYPE html>
<html lang=\"fr\">
<head>
<meta charset=\"utf-8\">
<title>Aide de Nuv-MERLON ZEL+</title>
<style>
body { font-family: sans-serif; margin: 2em; max-width: 60em; }
table { border-collapse: collapse; width: 100%; margin-bottom: 1.5em; }
td, th { border-bottom: 1px solid #ccc; padding: 0.25em 0.5em; text-align: left; }
td.key { white-space: nowrap; width: 14em; }
tr.sub td { font-weight: bold; background: #f0f0f0; }
td.in { padding-left: 2em; }
</style>
</head>
<body>
<h1>Aide de Nuv-MERLON ZEL+</h1>
<p>Comptabilité en partie double, un dossier par société et par exercice.
Cette page liste les commandes des menus de la fenêtre principale et leurs touches.</p>
<h2>Touches des fiches et des boîtes de dialogue</h2>
<table>
<tr><th>Touche</th><th>Action</th></tr>
<tr><td class=\"key\">F1</td><td>Cette aide</td></tr>
<tr><td class=\"key\">F4 ou Entrée</td><td>Zone suivante</td></tr>
<tr><td class=\"key\">F9</td><td>Quitter la fiche ou abandonner la boîte de dialogue</td></tr>
<tr><td class=\"key\">F12</td><td>Enregistrer la fiche ou valider la boîte de dialogue</td></tr>
<tr><td class=\"key\">Page précédente, Page suivante</td><td>Dans une date: jour suivant ou précédent</td></tr>
</table>
")

file(STRINGS "${MENU}" menu_lines ENCODING UTF-8)
set(open_table FALSE)
foreach(line IN LISTS menu_lines)
  if(line MATCHES "^#" OR line MATCHES "^ *-$" OR line STREQUAL "")
    continue()
  endif()
  if(line MATCHES "^([^ ].*)$")
    # A menu of the bar: a new section.
    if(open_table)
      string(APPEND html "</table>\n")
    endif()
    help_text("${CMAKE_MATCH_1}" title)
    string(APPEND html "<h2>${title}</h2>\n<table>\n<tr><th>Commande</th><th>Touche</th></tr>\n")
    set(open_table TRUE)
  elseif(line MATCHES "^( +)([0-9]+)$")
    set(indent "${CMAKE_MATCH_1}")
    set(id "${CMAKE_MATCH_2}")
    math(EXPR text_id "${id} + 1000")
    set(text "${str_${text_id}}")
    set(key "")
    # "Visualiser\t[F5]": the key written in the menu text.
    if(text MATCHES "^(.*)\\\\t\\[(.*)\\]$")
      set(text "${CMAKE_MATCH_1}")
      set(key "${CMAKE_MATCH_2}")
    endif()
    if(key STREQUAL "" AND DEFINED key_${id})
      set(key "${key_${id}}")
    endif()
    help_text("${text}" text)
    help_text("${key}" key)
    set(cls "")
    string(LENGTH "${indent}" depth)
    if(depth GREATER 2)
      set(cls " class=\"in\"")
    endif()
    string(APPEND html "<tr><td${cls}>${text}</td><td class=\"key\">${key}</td></tr>\n")
  elseif(line MATCHES "^ +(.*)$")
    # A submenu: its title over its commands.
    help_text("${CMAKE_MATCH_1}" title)
    string(APPEND html "<tr class=\"sub\"><td colspan=\"2\">${title}</td></tr>\n")
  endif()
endforeach()
if(open_table)
  string(APPEND html "</table>\n")
endif()
string(APPEND html "</body>\n</html>\n")
file(WRITE "${OUTPUT}" "${html}")
