-- Example calculation: a two-pipe district heating network.
-- A boiler house (node 0) feeds a trunk of ten segments to the east; branches
-- leave the trunk at every node and end at 23 buildings. Flows are entered on
-- the end segments only (flow distribution on); the nominal diameters fall
-- downstream with the distributed flow. A booster pumping station on the trunk
-- (node 5) raises the supply head, a pressure regulator at node 401 lowers it
-- for the low-lying branch to the south.
-- Applied on top of the template (gidrras.sql), with its default catalogue.
BEGIN;

UPDATE [НазвРасч] SET [НазвРасч] = 'Пример: тепловая сеть микрорайона от котельной',
    [ТипСети] = 1, [ОпрД] = 0, [РасчРасх] = 1,
    [NНачУз] = 0, [NузПНапПод] = 0, [NузРНап] = 2, [ПарТСКорр] = 0, [ПарТСОш] = NULL;

-- The map of the district (drawn at build time into examples/ beside the
-- program folder; a relative name is taken from the program folder): one
-- point is one metre, so 100 points are 100 m. The lengths stay as typed.
UPDATE [НазвРасч] SET [Карта] = '../examples/district_map.jpg', [МасштабКарты] = 100, [ВычДлПоМасш] = 0;

-- Full head of the supply pipe at the boiler house (height 152 m plus 68 m of
-- pressure); available head measured at the trunk chamber at node 2.
UPDATE [Заг] SET [КэШер] = 0.5, [ДолМестПот] = 0.3, [ПНапНаУзПод] = 220, [РНапНаУз] = 45,
    [МинТВоды] = 70, [МаксТВоды] = 130;

-- Nodes: schema position (1 point = 1 m) and geodetic height, m.
INSERT INTO [УзлыТС] VALUES (0, 60, 600, 152.0);
INSERT INTO [УзлыТС] VALUES (1, 280, 600, 153.2);
INSERT INTO [УзлыТС] VALUES (2, 460, 600, 154.8);
INSERT INTO [УзлыТС] VALUES (3, 710, 600, 156.5);
INSERT INTO [УзлыТС] VALUES (4, 910, 600, 158.1);
INSERT INTO [УзлыТС] VALUES (5, 1070, 600, 159.0);
INSERT INTO [УзлыТС] VALUES (6, 1350, 600, 160.4);
INSERT INTO [УзлыТС] VALUES (7, 1540, 600, 161.2);
INSERT INTO [УзлыТС] VALUES (8, 1690, 600, 160.0);
INSERT INTO [УзлыТС] VALUES (9, 1810, 600, 158.6);
INSERT INTO [УзлыТС] VALUES (10, 1910, 600, 157.9);
INSERT INTO [УзлыТС] VALUES (101, 280, 555, 152.6);
INSERT INTO [УзлыТС] VALUES (102, 280, 495, 151.8);
INSERT INTO [УзлыТС] VALUES (103, 310, 555, 153.9);
INSERT INTO [УзлыТС] VALUES (201, 460, 670, 155.3);
INSERT INTO [УзлыТС] VALUES (202, 460, 710, 156.0);
INSERT INTO [УзлыТС] VALUES (203, 515, 670, 154.1);
INSERT INTO [УзлыТС] VALUES (204, 550, 670, 153.5);
INSERT INTO [УзлыТС] VALUES (205, 515, 695, 154.7);
INSERT INTO [УзлыТС] VALUES (301, 710, 565, 157.4);
INSERT INTO [УзлыТС] VALUES (302, 710, 665, 155.6);
INSERT INTO [УзлыТС] VALUES (303, 710, 710, 154.9);
INSERT INTO [УзлыТС] VALUES (304, 745, 665, 156.2);
INSERT INTO [УзлыТС] VALUES (401, 910, 680, 155.0);
INSERT INTO [УзлыТС] VALUES (402, 910, 745, 151.7);
INSERT INTO [УзлыТС] VALUES (403, 910, 790, 149.8);
INSERT INTO [УзлыТС] VALUES (404, 940, 745, 150.6);
INSERT INTO [УзлыТС] VALUES (405, 960, 680, 153.3);
INSERT INTO [УзлыТС] VALUES (501, 1070, 550, 160.1);
INSERT INTO [УзлыТС] VALUES (502, 1070, 510, 161.0);
INSERT INTO [УзлыТС] VALUES (503, 1130, 550, 159.4);
INSERT INTO [УзлыТС] VALUES (504, 1165, 550, 158.8);
INSERT INTO [УзлыТС] VALUES (601, 1350, 675, 162.5);
INSERT INTO [УзлыТС] VALUES (602, 1350, 775, 164.8);
INSERT INTO [УзлыТС] VALUES (603, 1350, 845, 166.1);
INSERT INTO [УзлыТС] VALUES (604, 1350, 895, 167.0);
INSERT INTO [УзлыТС] VALUES (605, 1390, 775, 163.9);
INSERT INTO [УзлыТС] VALUES (606, 1395, 675, 161.7);
INSERT INTO [УзлыТС] VALUES (607, 1350, 570, 160.9);
INSERT INTO [УзлыТС] VALUES (701, 1540, 570, 162.0);
INSERT INTO [УзлыТС] VALUES (702, 1540, 660, 160.6);
INSERT INTO [УзлыТС] VALUES (703, 1540, 705, 159.7);
INSERT INTO [УзлыТС] VALUES (801, 1690, 655, 159.1);
INSERT INTO [УзлыТС] VALUES (802, 1690, 685, 158.5);
INSERT INTO [УзлыТС] VALUES (901, 1810, 560, 157.6);
INSERT INTO [УзлыТС] VALUES (902, 1810, 670, 159.9);

-- Segments: supply pipe length, m; nominal diameter, mm; flow, t/h, on the end
-- segments only (the run sums them onto the segments upstream).
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (1, 0, 1, 220, NULL, 300, 'Вывод от котельной');
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (2, 1, 2, 180, NULL, 250, NULL);
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (3, 2, 3, 250, NULL, 250, NULL);
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (4, 3, 4, 200, NULL, 250, NULL);
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (5, 4, 5, 160, NULL, 200, NULL);
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (6, 5, 6, 280, NULL, 200, 'После подкачивающей насосной');
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (7, 6, 7, 190, NULL, 175, NULL);
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (8, 7, 8, 150, NULL, 150, NULL);
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (9, 8, 9, 120, NULL, 150, NULL);
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (10, 9, 10, 100, 18, 100, 'Больница');
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (11, 1, 101, 90, NULL, 100, NULL);
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (12, 101, 102, 120, 12, 80, 'Жилой дом 3');
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (13, 101, 103, 60, 6, 65, 'Детский сад 1');
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (14, 2, 201, 140, NULL, 125, NULL);
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (15, 201, 202, 80, 9, 65, 'Жилой дом 7');
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (16, 201, 203, 110, NULL, 100, NULL);
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (17, 203, 204, 70, 14, 80, 'Жилой дом 9');
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (18, 203, 205, 50, 7, 65, 'Магазин');
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (19, 3, 301, 70, 16, 80, 'Школа 4');
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (20, 3, 302, 130, NULL, 100, NULL);
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (21, 302, 303, 90, 11, 80, 'Жилой дом 15');
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (22, 302, 304, 70, 8, 65, 'Жилой дом 17');
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (23, 4, 401, 160, NULL, 125, 'К регулятору давления');
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (24, 401, 402, 130, NULL, 100, NULL);
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (25, 402, 403, 90, 13, 80, 'Жилой дом 21');
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (26, 402, 404, 60, 10, 65, 'Жилой дом 23');
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (27, 401, 405, 100, 15, 80, 'Поликлиника');
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (28, 5, 501, 100, NULL, 100, NULL);
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (29, 501, 502, 80, 9, 65, 'Жилой дом 30');
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (30, 501, 503, 120, NULL, 80, NULL);
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (31, 503, 504, 70, 12, 80, 'Жилой дом 32');
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (32, 6, 601, 150, NULL, 125, NULL);
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (33, 601, 602, 200, NULL, 100, NULL);
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (34, 602, 603, 140, NULL, 65, NULL);
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (35, 603, 604, 100, 10, 65, 'Жилой дом 40');
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (36, 602, 605, 80, 8, 65, 'Жилой дом 42');
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (37, 601, 606, 90, 11, 80, 'Детский сад 2');
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (38, 6, 607, 60, 6, 65, 'Административное здание');
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (39, 7, 701, 60, 14, 80, 'Жилой дом 51');
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (40, 7, 702, 120, NULL, 65, NULL);
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (41, 702, 703, 90, 9, 65, 'Жилой дом 53');
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (42, 8, 801, 110, NULL, 80, NULL);
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (43, 801, 802, 60, 12, 80, 'Торговый центр');
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (44, 9, 901, 80, 10, 65, 'Жилой дом 60');
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (45, 9, 902, 140, 13, 80, 'Бассейн');

-- Booster pumping station on the trunk: +15 m in the supply pipe at node 5.
-- Pressure regulator for the low-lying branch: -8 m in the supply pipe at node 401.
INSERT INTO [ИзмПНапВУзлахТС] VALUES (5, 0, 15);
INSERT INTO [ИзмПНапВУзлахТС] VALUES (401, 0, -8);

-- Mains as the network check builds them: one per end segment, numbered in
-- ascending order of the end node; segment 1 of a main is its end segment.
INSERT INTO [МагистралиТС] ([id_m], [NппУчВМ], [НачУзел], [КонУзел])
WITH RECURSIVE
  [Конечные] AS (
    SELECT ROW_NUMBER() OVER (ORDER BY t.[КонУзел]) AS [id_m], t.[НачУзел], t.[КонУзел]
    FROM [Табл] t WHERE NOT EXISTS (SELECT 1 FROM [Табл] u WHERE u.[НачУзел] = t.[КонУзел])),
  [Путь] ([id_m], [N], [НачУзел], [КонУзел]) AS (
    SELECT [id_m], 1, [НачУзел], [КонУзел] FROM [Конечные]
    UNION ALL
    SELECT p.[id_m], p.[N] + 1, t.[НачУзел], t.[КонУзел] FROM [Путь] p JOIN [Табл] t ON t.[КонУзел] = p.[НачУзел])
SELECT [id_m], [N], [НачУзел], [КонУзел] FROM [Путь] ORDER BY [id_m], [N];

INSERT INTO [КонМаг] ([id_m], [РВПод], [КонУзел], [РВОбр])
SELECT [id_m], 0, [КонУзел], 0 FROM [МагистралиТС] WHERE [NппУчВМ] = 1 ORDER BY [id_m];

-- Supply minus return water temperature at the consumers, град. С.
UPDATE [КонМаг] SET [ДельтаТ] = 57 WHERE [КонУзел] IN (10, 404, 604, 605, 606, 607, 701, 703, 802, 901, 902);
UPDATE [КонМаг] SET [ДельтаТ] = 58 WHERE [КонУзел] IN (205, 301, 303, 304, 403, 405, 502, 504);
UPDATE [КонМаг] SET [ДельтаТ] = 59 WHERE [КонУзел] IN (102, 103, 202, 204);

COMMIT;
