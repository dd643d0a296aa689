-- Nastr.mdb: program settings.
-- Built with: sqlite3 -bail Nastr.mdb < nastr.sql (on an empty file).

BEGIN;

-- Document paths, font sizes (8 to 20), digits after the point in reports (0 to 7)
-- and whether the calculation text is kept. Exactly one row.
CREATE TABLE [Настройки] (
  [ФайлГР] text(255),
  [ФайлСпр] text(255),
  [РШрифтаВТД] smallint,
  [РШрифтаВЗагКолТД] smallint,
  [РШрифтаНаимПок] smallint,
  [РШрифтаГр] smallint,
  [ТочностьЧиселВОтч] smallint,
  [СохрТекстРас] bit
);
-- No calculation file yet; the delivered reference file of the program folder.
INSERT INTO [Настройки] VALUES (NULL, 'Spr.mdb', 10, 10, 10, 10, 3, 1);

-- The last choices of the spreadsheet import: workbook, sheet, first and last row,
-- columns of the start and end node, up to eight indicators (П1..П8) with their
-- columns (Кол1..Кол8). Exactly one row, empty until the first import.
CREATE TABLE [НастрЗагрИзExcel] (
  [ФайлExcel] text(255),
  [РЛист] text(255),
  [НачСтр] integer,
  [КонСтр] integer,
  [КолНачУз] integer,
  [КолКонУз] integer,
  [П1] text(255), [П2] text(255), [П3] text(255), [П4] text(255),
  [П5] text(255), [П6] text(255), [П7] text(255), [П8] text(255),
  [Кол1] integer, [Кол2] integer, [Кол3] integer, [Кол4] integer,
  [Кол5] integer, [Кол6] integer, [Кол7] integer, [Кол8] integer
);
INSERT INTO [НастрЗагрИзExcel] DEFAULT VALUES;

COMMIT;
