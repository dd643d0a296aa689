-- Example calculation: a one-pipe hot-water network.
-- A central heating substation (node 1) feeds eight buildings through fifteen
-- segments; flows are entered on the end segments only. The supply head is
-- given where it is needed, behind the pressure regulator at the inlet of the
-- farthest building (node 7), and the run works back to the substation.
-- Applied on top of the template (gidrras.sql). A one-pipe network has no
-- return pipe, so the return-pipe indicators of the default catalogue go; the
-- tables lose their return-pipe columns when the file is prepared.
BEGIN;

UPDATE [НазвРасч] SET [НазвРасч] = 'Пример: однотрубная сеть горячего водоснабжения',
    [ТипСети] = 0, [ОпрД] = 0, [РасчРасх] = 1,
    [NНачУз] = 1, [NузПНапПод] = 7, [NузРНап] = NULL, [ПарТСКорр] = 0, [ПарТСОш] = NULL;

DELETE FROM [Формулы] WHERE [ТипПок] = 'О';

-- Full head required behind the regulator of the farthest building: its
-- height (143.6 m) plus 25 m of pressure. Water leaves the substation at
-- 65 град. С and reaches the farthest tap at 58 град. С.
UPDATE [Заг] SET [КэШер] = 0.5, [ДолМестПот] = 0.3, [ПНапНаУзПод] = 168.6, [РНапНаУз] = NULL,
    [МинТВоды] = 58, [МаксТВоды] = 65;

-- Nodes: schema position (1 point = 1 m) and geodetic height, m.
INSERT INTO [УзлыТС] VALUES (1, 60, 300, 140.0);
INSERT INTO [УзлыТС] VALUES (2, 210, 300, 140.8);
INSERT INTO [УзлыТС] VALUES (3, 330, 300, 141.5);
INSERT INTO [УзлыТС] VALUES (4, 530, 300, 142.9);
INSERT INTO [УзлыТС] VALUES (5, 620, 300, 142.2);
INSERT INTO [УзлыТС] VALUES (6, 750, 300, 143.0);
INSERT INTO [УзлыТС] VALUES (7, 850, 300, 143.6);
INSERT INTO [УзлыТС] VALUES (21, 210, 220, 141.3);
INSERT INTO [УзлыТС] VALUES (31, 330, 410, 140.6);
INSERT INTO [УзлыТС] VALUES (32, 330, 480, 139.8);
INSERT INTO [УзлыТС] VALUES (33, 390, 410, 140.2);
INSERT INTO [УзлыТС] VALUES (41, 530, 160, 144.1);
INSERT INTO [УзлыТС] VALUES (51, 620, 350, 141.7);
INSERT INTO [УзлыТС] VALUES (52, 620, 440, 141.0);
INSERT INTO [УзлыТС] VALUES (53, 720, 350, 141.4);
INSERT INTO [УзлыТС] VALUES (61, 750, 240, 143.8);

-- Segments: pipe length, m; nominal diameter, mm; flow, t/h, on the end
-- segments only (the run sums them onto the segments upstream).
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (1, 1, 2, 150, NULL, 125, 'Вывод от ЦТП');
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (2, 2, 3, 120, NULL, 125, NULL);
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (3, 3, 4, 200, NULL, 100, NULL);
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (4, 4, 5, 90, NULL, 100, NULL);
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (5, 5, 6, 130, NULL, 80, NULL);
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (6, 6, 7, 100, 8, 65, 'Жилой дом 1');
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (7, 6, 61, 60, 4, 50, 'Жилой дом 3');
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (8, 2, 21, 80, 5, 65, 'Жилой дом 5');
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (9, 3, 31, 110, NULL, 65, NULL);
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (10, 31, 32, 70, 6, 65, 'Общежитие');
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (11, 31, 33, 60, 3, 50, 'Жилой дом 9');
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (12, 4, 41, 140, 7, 65, 'Гостиница');
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (13, 5, 51, 50, NULL, 65, NULL);
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (14, 51, 52, 90, 5, 65, 'Жилой дом 11');
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание]) VALUES (15, 51, 53, 100, 4, 50, 'Прачечная');

-- Pressure regulator at the inlet of building 1: 6 m less behind it.
INSERT INTO [ИзмПНапВУзлахТС] VALUES (7, 0, -6);

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

COMMIT;
