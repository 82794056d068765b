// SPDX-License-Identifier: MIT
#include "worldgen/readmetexts.h"

#include "data/codepage.h"

namespace vdm::worldgen::ReadmeTexts {
namespace {

QString joined(const QStringList& paragraphs)
{
    return wrap(paragraphs).join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

} // namespace

QStringList wrap(const QStringList& paragraphs)
{
    QStringList lines;
    for (const QString& paragraph : paragraphs) {
        // A leading "- " makes a list item; its continuation lines are indented under the text.
        const QString indent = paragraph.startsWith(QStringLiteral("- ")) ? QStringLiteral("  ") : QString();
        QString current;
        for (const QString& word : paragraph.split(u' ', Qt::SkipEmptyParts)) {
            if (!current.isEmpty() && current.size() + 1 + word.size() > Columns) {
                lines << current;
                current = indent;
            }
            current += (current.isEmpty() || current == indent ? QString() : QStringLiteral(" ")) + word;
        }
        lines << current;
    }
    return lines;
}

QByteArray english()
{
    return CodePage::encode(joined({
        QStringLiteral("VELDAMAR INTERACTIVE MAP"),
        QString(),
        QStringLiteral(
            "A companion map for travellers of Veldamar: the whole world on one painted sheet, with its cities, towns "
            "and "
            "hidden places, the skarnel roads, the ship lanes and the mages guild's gates. You keep your own record of "
            "where you have been, and you can pin notes of your own anywhere on the map."),
        QString(),
        QStringLiteral("ZOOM AND MOVING AROUND"),
        QStringLiteral(
            "The map has eight zoom levels, from 10 % (the whole world) to 300 %. Use the zoom buttons, Ctrl with the "
            "mouse wheel, or the keypad's + and - keys. The wheel alone scrolls up and down, with Shift held it "
            "scrolls "
            "sideways. Drag the map with the left button to move it."),
        QStringLiteral("The closer you zoom, the more places appear: at 10 % only the great cities, at 300 % every "
                       "cave and shrine."),
        QString(),
        QStringLiteral("GO"),
        QStringLiteral(
            "Pick a place from the list in the tool bar and press Go (or Enter). The map zooms in as far as needed to "
            "show that place, centres it and marks it for a moment."),
        QString(),
        QStringLiteral("STATUSES AND NOTES"),
        QStringLiteral(
            "Double-click a place on the map to open it in the location box below the map. Mark it Unvisited, Active "
            "or Visited, and write a one-line note of up to 255 characters. The frame of each place on the map takes "
            "the colour of its status, and the status buttons in the tool bar show or hide each group."),
        QString(),
        QStringLiteral("MARKERS"),
        QStringLiteral(
            "Markers are your own pins. Press the Add marker tool, or click the right mouse button on the map from "
            "25 % upwards, then click with the left button where the marker should go. Double-click a marker to "
            "edit its text; the Delete marker tool removes single markers, and Delete all markers clears them all "
            "after asking."),
        QString(),
        QStringLiteral("HINTS"),
        QStringLiteral("With the Hint button down, resting the pointer on a place or a marker shows a pop-up with its "
                       "name and your "
                       "note. The Text button writes the names on the map itself."),
        QString(),
        QStringLiteral("OPTIONS"),
        QStringLiteral(
            "The Options dialog sets the fonts of the map and of the hints, how long captions may be, the hints' "
            "transparency, the colours of frames and routes, map smoothing, database autosaving and whether the "
            "window, zoom and tool bars are restored at start-up. The tool bar can also copy the current view to "
            "the clipboard."),
        QString(),
        QStringLiteral("FILES"),
        QStringLiteral(
            "- user.gdb keeps your statuses and notes, and markers.gdb your markers; both lie beside the map files. "
            "With autosaving on they are written at every change, otherwise when you close the map."),
        QStringLiteral("- qor.ini, beside the program, keeps your options and the window layout."),
        QStringLiteral("- The map pictures and the lists of places and routes are only read, never changed."),
        QString(),
        QStringLiteral("Safe travels, and may the skarnels run on time!"),
    }));
}

QByteArray french()
{
    return CodePage::encode(joined({
        QStringLiteral("CARTE INTERACTIVE DE VELDAMAR"),
        QString(),
        QStringLiteral(
            "Une carte de voyage pour Veldamar : le monde entier sur une seule feuille peinte, avec ses cités, ses "
            "bourgs et ses lieux cachés, les routes des skarnels, les lignes maritimes et les portails de la guilde "
            "des mages. Vous y notez où vous êtes passé et vous pouvez épingler vos propres repères."),
        QString(),
        QStringLiteral("ZOOM ET DÉPLACEMENTS"),
        QStringLiteral(
            "La carte a huit niveaux de zoom, de 10 % (le monde entier) à 300 %. Utilisez les boutons de zoom, Ctrl "
            "avec la molette, ou les touches + et - du pavé numérique. La molette seule fait défiler la carte "
            "verticalement, avec Maj horizontalement. Faites glisser la carte avec le bouton gauche."),
        QStringLiteral(
            "Plus vous zoomez, plus il y a de lieux : à 10 % les grandes cités seulement, à 300 % chaque grotte et "
            "chaque sanctuaire."),
        QString(),
        QStringLiteral("ALLER"),
        QStringLiteral("Choisissez un lieu dans la liste de la barre d'outils et appuyez sur Go (ou Entrée). La carte "
                       "zoome autant "
                       "qu'il le faut, centre le lieu et le signale un instant."),
        QString(),
        QStringLiteral("ÉTATS ET NOTES"),
        QStringLiteral(
            "Double-cliquez sur un lieu de la carte pour l'ouvrir dans le cadre sous la carte. Marquez-le Unvisited "
            "(non visité), Active (en cours) ou Visited (visité) et écrivez une note d'une ligne, 255 caractères au "
            "plus. Le cadre du lieu prend la couleur de son état, et les boutons d'état de la barre d'outils "
            "affichent ou masquent chaque groupe."),
        QString(),
        QStringLiteral("REPÈRES"),
        QStringLiteral(
            "Les repères sont vos propres épingles. Appuyez sur l'outil Add marker, ou cliquez avec le bouton droit "
            "sur "
            "la carte à partir de 25 %, puis cliquez avec le bouton gauche à l'endroit voulu. Double-cliquez sur un "
            "repère pour modifier son texte ; l'outil Delete marker en supprime un, Delete all markers les supprime "
            "tous après confirmation."),
        QString(),
        QStringLiteral("BULLES D'AIDE"),
        QStringLiteral(
            "Avec le bouton Hint enfoncé, le pointeur posé sur un lieu ou un repère affiche une bulle avec son nom et "
            "votre note. Le bouton Text écrit les noms sur la carte."),
        QString(),
        QStringLiteral("OPTIONS"),
        QStringLiteral(
            "La boîte Options règle les polices de la carte et des bulles, la longueur des légendes, la transparence "
            "des bulles, les couleurs des cadres et des routes, le lissage de la carte, l'enregistrement automatique "
            "et la restauration de la fenêtre au démarrage. La barre d'outils copie aussi la vue dans le "
            "presse-papiers."),
        QString(),
        QStringLiteral("FICHIERS"),
        QStringLiteral(
            "- user.gdb garde vos états et vos notes, markers.gdb vos repères ; tous deux sont à côté des fichiers de "
            "la carte. Avec l'enregistrement automatique ils sont écrits à chaque changement, sinon à la fermeture."),
        QStringLiteral("- qor.ini, à côté du programme, garde vos options et la disposition de la fenêtre."),
        QStringLiteral(
            "- Les images de la carte et les listes des lieux et des routes sont seulement lues, jamais modifiées."),
        QString(),
        QStringLiteral("Bon voyage, et que les skarnels soient à l'heure !"),
    }));
}

QByteArray russian()
{
    return joined(
               {
                   QStringLiteral("ИНТЕРАКТИВНАЯ КАРТА ВЕЛДАМАРА"),
                   QString(),
                   QStringLiteral("Карта-спутник для путешественников по Велдамару: весь мир на одном расписном листе, "
                                  "с городами, посёлками "
                                  "и тайными местами, дорогами скарнелов, морскими путями и вратами гильдии магов. Вы "
                                  "отмечаете, где уже "
                                  "побывали, и можете ставить на карту собственные метки."),
                   QString(),
                   QStringLiteral("МАСШТАБ И ПЕРЕМЕЩЕНИЕ"),
                   QStringLiteral("У карты восемь масштабов, от 10 % (весь мир) до 300 %. Пользуйтесь кнопками "
                                  "масштаба, колёсиком мыши с "
                                  "Ctrl или клавишами + и - на цифровой клавиатуре. Колёсико без Ctrl прокручивает "
                                  "карту вверх и вниз, с "
                                  "Shift - вбок. Карту можно тянуть левой кнопкой мыши."),
                   QStringLiteral("Чем крупнее масштаб, тем больше мест видно: при 10 % только большие города, при 300 "
                                  "% - каждая пещера и "
                                  "каждое святилище."),
                   QString(),
                   QStringLiteral("ПЕРЕХОД (GO)"),
                   QStringLiteral("Выберите место в списке на панели инструментов и нажмите Go (или Enter). Карта "
                                  "увеличится настолько, "
                                  "насколько нужно, покажет место в центре и ненадолго выделит его."),
                   QString(),
                   QStringLiteral("СОСТОЯНИЯ И ЗАМЕТКИ"),
                   QStringLiteral("Дважды щёлкните по месту на карте, чтобы открыть его в рамке под картой. Отметьте "
                                  "его как Unvisited (не "
                                  "посещено), Active (в процессе) или Visited (посещено) и напишите заметку в одну "
                                  "строку, не длиннее 255 "
                                  "символов. Рамка места на карте окрашивается в цвет состояния, а кнопки состояний на "
                                  "панели показывают "
                                  "или скрывают каждую группу."),
                   QString(),
                   QStringLiteral("МЕТКИ"),
                   QStringLiteral("Метки - это ваши собственные булавки. Нажмите инструмент Add marker или щёлкните "
                                  "правой кнопкой по карте "
                                  "(начиная с масштаба 25 %), затем щёлкните левой кнопкой там, где должна стоять "
                                  "метка. Двойной щелчок по "
                                  "метке открывает её текст для правки; инструмент Delete marker удаляет отдельные "
                                  "метки, а Delete all "
                                  "markers после вопроса удаляет все."),
                   QString(),
                   QStringLiteral("ПОДСКАЗКИ"),
                   QStringLiteral("Когда нажата кнопка Hint, указатель, задержанный на месте или метке, вызывает "
                                  "всплывающее окно с названием "
                                  "и вашей заметкой. Кнопка Text подписывает названия прямо на карте."),
                   QString(),
                   QStringLiteral("НАСТРОЙКИ"),
                   QStringLiteral("В окне Options задаются шрифты карты и подсказок, длина подписей, прозрачность "
                                  "подсказок, цвета рамок и "
                                  "маршрутов, сглаживание карты, автосохранение и восстановление окна при запуске. С "
                                  "панели инструментов "
                                  "можно также скопировать текущий вид в буфер обмена."),
                   QString(),
                   QStringLiteral("ФАЙЛЫ"),
                   QStringLiteral("- user.gdb хранит ваши состояния и заметки, markers.gdb - ваши метки; оба лежат "
                                  "рядом с файлами карты. "
                                  "С автосохранением они записываются при каждом изменении, иначе при закрытии карты."),
                   QStringLiteral("- qor.ini рядом с программой хранит настройки и расположение окна."),
                   QStringLiteral(
                       "- Изображения карты и списки мест и маршрутов только читаются и никогда не изменяются."),
                   QString(),
                   QStringLiteral("Счастливого пути, и пусть скарнелы ходят по расписанию!"),
               })
        .toUtf8();
}

} // namespace vdm::worldgen::ReadmeTexts
