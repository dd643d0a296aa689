-- The sample calculation delivered with the program: a small two-pipe
-- district network of seven nodes from a boiler house (node 0) to three
-- buildings (end nodes 3, 4 and 6). Applied on top of the template
-- (gidrras.sql), so it uses the template's default catalogue of indicators.
BEGIN;

UPDATE [НазвРасч] SET [НазвРасч] = 'Пример: квартальная тепловая сеть',
    [NНачУз] = 0, [NузПНапПод] = 0, [NузРНап] = 0, [ПарТСКорр] = 0, [ПарТСОш] = NULL;

UPDATE [Заг] SET [КэШер] = 0.5, [ДолМестПот] = 0.3, [ПНапНаУзПод] = 90, [РНапНаУз] = 40,
    [МинТВоды] = 70, [МаксТВоды] = 130;

-- Node positions are points on the schema; heights in metres.
INSERT INTO [УзлыТС] VALUES (0, 60, 300, 152.0);
INSERT INTO [УзлыТС] VALUES (1, 220, 300, 153.5);
INSERT INTO [УзлыТС] VALUES (2, 380, 220, 155.0);
INSERT INTO [УзлыТС] VALUES (3, 540, 160, 156.2);
INSERT INTO [УзлыТС] VALUES (4, 540, 280, 154.8);
INSERT INTO [УзлыТС] VALUES (5, 380, 400, 151.0);
INSERT INTO [УзлыТС] VALUES (6, 540, 440, 150.5);

-- Segments: length of the supply pipe, m; flow, t/h; nominal diameter, mm.
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание])
    VALUES (1, 0, 1, 180, 120, 200, 'Вывод от котельной');
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание])
    VALUES (2, 1, 2, 240, 70, 150, NULL);
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание])
    VALUES (3, 2, 3, 130, 40, 125, 'Школа');
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание])
    VALUES (4, 2, 4, 95, 30, 100, 'Жилой дом 12');
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание])
    VALUES (5, 1, 5, 210, 50, 125, NULL);
INSERT INTO [Табл] ([id], [НачУзел], [КонУзел], [ДлНаУчПод], [РасхПод], [ДуПод], [Примечание])
    VALUES (6, 5, 6, 160, 50, 125, 'Жилой дом 14');

-- Mains from the source to each end node; segment 1 of a main is its end segment.
INSERT INTO [МагистралиТС] ([id_m], [NппУчВМ], [НачУзел], [КонУзел]) VALUES (1, 1, 2, 3);
INSERT INTO [МагистралиТС] ([id_m], [NппУчВМ], [НачУзел], [КонУзел]) VALUES (1, 2, 1, 2);
INSERT INTO [МагистралиТС] ([id_m], [NппУчВМ], [НачУзел], [КонУзел]) VALUES (1, 3, 0, 1);
INSERT INTO [МагистралиТС] ([id_m], [NппУчВМ], [НачУзел], [КонУзел]) VALUES (2, 1, 2, 4);
INSERT INTO [МагистралиТС] ([id_m], [NппУчВМ], [НачУзел], [КонУзел]) VALUES (2, 2, 1, 2);
INSERT INTO [МагистралиТС] ([id_m], [NппУчВМ], [НачУзел], [КонУзел]) VALUES (2, 3, 0, 1);
INSERT INTO [МагистралиТС] ([id_m], [NппУчВМ], [НачУзел], [КонУзел]) VALUES (3, 1, 5, 6);
INSERT INTO [МагистралиТС] ([id_m], [NппУчВМ], [НачУзел], [КонУзел]) VALUES (3, 2, 1, 5);
INSERT INTO [МагистралиТС] ([id_m], [NппУчВМ], [НачУзел], [КонУзел]) VALUES (3, 3, 0, 1);

INSERT INTO [КонМаг] ([id_m], [РВПод], [КонУзел], [РВОбр], [ДельтаТ]) VALUES (1, 0, 3, 0, 60);
INSERT INTO [КонМаг] ([id_m], [РВПод], [КонУзел], [РВОбр], [ДельтаТ]) VALUES (2, 0, 4, 0, 60);
INSERT INTO [КонМаг] ([id_m], [РВПод], [КонУзел], [РВОбр], [ДельтаТ]) VALUES (3, 0, 6, 0, 60);

COMMIT;
