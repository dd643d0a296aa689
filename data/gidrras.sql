-- GidrRas.mdb: template of a new hydraulic calculation.
-- Built with: sqlite3 -bail GidrRas.mdb < gidrras.sql (on an empty file).
-- The file must stay below 500 000 bytes (the New command refuses a larger template).
--
-- A new calculation is a two-pipe network (ТипСети = 1) with diameter determination
-- off (ОпрД = 0) and flow distribution on (РасчРасх = 1). The default catalogue of
-- user indicators in Формулы gives a complete hydraulic calculation of a district-
-- heating network as soon as the engineer enters the nominal diameters, lengths
-- and flows of the segments:
--   internal diameter from the reference file, mean water temperature, water
--   density at that temperature, velocity, specific pressure loss of the quadratic
--   (rough-pipe) regime
--     R = 0.0894 * kэ^0.25 * G^2 / (ρ * d^5.25), Pa/m   (G in kg/s, kэ and d in m),
--   and the head loss of the segment with the local losses taken as a fraction a
--   of the linear ones
--     ΔH = R * L * (1 + a) / (ρ * g), m,   g = 9.80665 m/s2.
-- Units: lengths and heads m, diameters mm, roughness mm, flows t/h, temperatures
-- град. С, densities kg/m3, velocities m/s, specific losses Pa/m.
--
-- The columns of Заг, Табл and КонМаг are exactly the layout that the table
-- structure setup derives from this catalogue for a two-pipe network without
-- diameter determination, so opening a new calculation rebuilds nothing.

BEGIN;

-- Parameters of the calculation (exactly one row).
CREATE TABLE [НазвРасч] (
  [НазвРасч] text(255),
  [РВ] bit,
  [ТипСети] smallint,
  [ОпрД] bit,
  [РасчРасх] bit,
  [NНачУз] smallint,
  [NузПНапПод] smallint,
  [NузРНап] smallint,
  [ПарТСКорр] smallint,
  [ПарТСОш] text(255),
  [Карта] text(255),
  [МасштабКарты] float,
  [ВычДлПоМасш] bit
);
-- ПарТСКорр = 1: the segments table is empty. МасштабКарты: metres per 100 map points.
INSERT INTO [НазвРасч] VALUES (NULL, 0, 1, 0, 1, 0, 0, 0, 1, NULL, NULL, 100, 0);

-- User indicators.
CREATE TABLE [Формулы] (
  [Nпп] smallint,
  [НаимПок] text,
  [НаимПокСокр] text(255) NOT NULL,
  [ТипПок] text(1) NOT NULL,
  [ВводПольз] bit NOT NULL,
  [Формула] text,
  [ВывВОтчТабл] bit NOT NULL
);

-- Header (whole-network) values, entered by the engineer.
INSERT INTO [Формулы] VALUES (1, 'Эквивалентная шероховатость внутренней поверхности труб, мм.',
  'КэШер', 'З', 1, NULL, 1);
INSERT INTO [Формулы] VALUES (2, 'Доля местных потерь напора от линейных потерь, доли ед.',
  'ДолМестПот', 'З', 1, NULL, 1);

-- Supply pipe.
INSERT INTO [Формулы] VALUES (3, 'Условный диаметр подающего трубопровода, мм.',
  'ДуПод', 'П', 1, NULL, 1);
INSERT INTO [Формулы] VALUES (4, 'Внутренний диаметр подающего трубопровода, мм.',
  'ДвнПод', 'П', 0, 'ДвнутрПоДу(<ДуПод>)', 1);
INSERT INTO [Формулы] VALUES (5, 'Средняя температура воды в подающем трубопроводе на участке, град. С',
  'ТСрПод', 'П', 0, '(<ТВодыНачПод>+<ТВодыКонПод>)/2', 0);
-- The density table has whole degrees only, hence the rounding of the mean temperature.
INSERT INTO [Формулы] VALUES (6, 'Плотность воды в подающем трубопроводе на участке, кг./м3',
  'ПлВодыПод', 'П', 0, 'ПлВодыПоТ(Округл(<ТСрПод>;0))', 0);
-- v = G / 3.6 / ρ / (π * d^2 / 4), G in t/h, d in m. The comment in square brackets is part of
-- the formula text: the program removes it before checking or evaluating the formula.
INSERT INTO [Формулы] VALUES (7, 'Скорость воды в подающем трубопроводе, м./с.',
  'СкорПод', 'П', 0,
  '<РасхПод>/3.6/<ПлВодыПод>/(3.14159265358979*Степень(<ДвнПод>/1000;2)/4)[расход: т/ч / 3.6 = кг/с; диаметр: мм / 1000 = м]', 1);
INSERT INTO [Формулы] VALUES (8, 'Удельные линейные потери давления в подающем трубопроводе, Па/м.',
  'УдПотДПод', 'П', 0,
  '0.0894*Степень(<КэШер>/1000;0.25)*Степень(<РасхПод>/3.6;2)/(<ПлВодыПод>*Степень(<ДвнПод>/1000;5.25))[квадратичная область; расход в кг/с, шероховатость и диаметр в м]', 1);
INSERT INTO [Формулы] VALUES (9, 'Потери напора в подающем трубопроводе на участке с учетом местных потерь, м.',
  'ПотНПод', 'П', 0,
  '<УдПотДПод>*<ДлНаУчПод>*(1+<ДолМестПот>)/(<ПлВодыПод>*9.80665)[потери давления Па переводятся в напор м делением на ро*g]', 1);

-- Return pipe: the same pipe diameter as the supply.
INSERT INTO [Формулы] VALUES (10, 'Условный диаметр обратного трубопровода, мм.',
  'ДуОбр', 'О', 0, '<ДуПод>', 1);
INSERT INTO [Формулы] VALUES (11, 'Внутренний диаметр обратного трубопровода, мм.',
  'ДвнОбр', 'О', 0, 'ДвнутрПоДу(<ДуОбр>)', 1);
INSERT INTO [Формулы] VALUES (12, 'Средняя температура воды в обратном трубопроводе на участке, град. С',
  'ТСрОбр', 'О', 0, '(<ТВодыНачОбр>+<ТВодыКонОбр>)/2', 0);
INSERT INTO [Формулы] VALUES (13, 'Плотность воды в обратном трубопроводе на участке, кг./м3',
  'ПлВодыОбр', 'О', 0, 'ПлВодыПоТ(Округл(<ТСрОбр>;0))', 0);
INSERT INTO [Формулы] VALUES (14, 'Скорость воды в обратном трубопроводе, м./с.',
  'СкорОбр', 'О', 0,
  '<РасхОбр>/3.6/<ПлВодыОбр>/(3.14159265358979*Степень(<ДвнОбр>/1000;2)/4)[расход: т/ч / 3.6 = кг/с; диаметр: мм / 1000 = м]', 1);
INSERT INTO [Формулы] VALUES (15, 'Удельные линейные потери давления в обратном трубопроводе, Па/м.',
  'УдПотДОбр', 'О', 0,
  '0.0894*Степень(<КэШер>/1000;0.25)*Степень(<РасхОбр>/3.6;2)/(<ПлВодыОбр>*Степень(<ДвнОбр>/1000;5.25))[квадратичная область; расход в кг/с, шероховатость и диаметр в м]', 1);
INSERT INTO [Формулы] VALUES (16, 'Потери напора в обратном трубопроводе на участке с учетом местных потерь, м.',
  'ПотНОбр', 'О', 0,
  '<УдПотДОбр>*<ДлНаУчОбр>*(1+<ДолМестПот>)/(<ПлВодыОбр>*9.80665)[потери давления Па переводятся в напор м делением на ро*g]', 1);

-- Predefined indicators: the hydraulic model itself. Rows are never added or removed
-- by the program; only the formulas of ПотНОтИКонПод/ПотНОтИКонОбр and the
-- ВводПольз flags of ДлНаУчОбр/РасхОбр are editable.
-- ИспПриРасч1трТС = 0 marks the indicators that exist in two-pipe networks only.
-- ТипПок of the node heads computed after all formulas (ПНап..., РНап...) is informative.
CREATE TABLE [ФлыПредопрПок] (
  [НаимПок] text,
  [НаимПокСокр] text(255),
  [ТипПок] text(1),
  [ВводПольз] bit,
  [Формула] text,
  [ВывВОтчТабл] bit,
  [ИспПриРасч1трТС] bit,
  [ИспПриРасч2трТС] bit
);

-- Header values.
INSERT INTO [ФлыПредопрПок] VALUES ('Полный напор в подающем трубопроводе на заданном узле, м.',
  'ПНапНаУзПод', 'З', 1, NULL, 1, 1, 1);
INSERT INTO [ФлыПредопрПок] VALUES ('Располагаемый напор на заданном узле, м.',
  'РНапНаУз', 'З', 1, NULL, 1, 0, 1);
INSERT INTO [ФлыПредопрПок] VALUES ('Минимальная геодезическая высота узлов теплосети, м.',
  'МинГеодВысТС', 'З', 0, NULL, 0, 1, 1);
INSERT INTO [ФлыПредопрПок] VALUES ('Максимальная геодезическая высота узлов теплосети, м.',
  'МаксГеодВысТС', 'З', 0, NULL, 0, 1, 1);
INSERT INTO [ФлыПредопрПок] VALUES ('Максимальная длина подающего трубопровода от начального до конечного узла теплосети, м.',
  'МаксДлПод', 'З', 0, NULL, 1, 1, 1);
INSERT INTO [ФлыПредопрПок] VALUES ('Максимальная длина обратного трубопровода от начального до конечного узла теплосети, м.',
  'МаксДлОбр', 'З', 0, NULL, 1, 0, 1);
INSERT INTO [ФлыПредопрПок] VALUES ('Максимальная суммарная длина подающего и обратного трубопроводов от начального до конечного узла теплосети, м.',
  'МаксСумДлПодОбр', 'З', 0, NULL, 1, 0, 1);
INSERT INTO [ФлыПредопрПок] VALUES ('Минимальная температура воды в теплосети, град. С',
  'МинТВоды', 'З', 1, NULL, 1, 1, 1);
INSERT INTO [ФлыПредопрПок] VALUES ('Максимальная температура воды в теплосети, град. С',
  'МаксТВоды', 'З', 1, NULL, 1, 1, 1);

-- Supply pipe, per segment.
INSERT INTO [ФлыПредопрПок] VALUES ('Геодезическая высота начального узла участка, м.',
  'ГеодВысНач', 'П', 0, NULL, 1, 1, 1);
INSERT INTO [ФлыПредопрПок] VALUES ('Геодезическая высота конечного узла участка, м.',
  'ГеодВысКон', 'П', 0, NULL, 1, 1, 1);
INSERT INTO [ФлыПредопрПок] VALUES ('Длина подающего трубопровода на участке, м.',
  'ДлНаУчПод', 'П', 1, NULL, 1, 1, 1);
INSERT INTO [ФлыПредопрПок] VALUES ('Расход воды в подающем трубопроводе на участке, т/ч.',
  'РасхПод', 'П', 1, NULL, 1, 1, 1);
INSERT INTO [ФлыПредопрПок] VALUES ('Длина подающего трубопровода на начальном узле участка, м.',
  'ДлНачПод', 'П', 0, NULL, 1, 1, 1);
INSERT INTO [ФлыПредопрПок] VALUES ('Длина подающего трубопровода на конечном узле участка, м.',
  'ДлКонПод', 'П', 0, NULL, 1, 1, 1);
INSERT INTO [ФлыПредопрПок] VALUES ('Температура воды в подающем трубопроводе на начальном узле участка, град. С',
  'ТВодыНачПод', 'П', 0, NULL, 1, 1, 1);
INSERT INTO [ФлыПредопрПок] VALUES ('Температура воды в подающем трубопроводе на конечном узле участка, град. С',
  'ТВодыКонПод', 'П', 0, NULL, 1, 1, 1);
INSERT INTO [ФлыПредопрПок] VALUES ('Потери напора в подающем трубопроводе от источника до начального узла участка, м.',
  'ПотНОтИНачПод', 'П', 0, NULL, 1, 1, 1);
INSERT INTO [ФлыПредопрПок] VALUES ('Потери напора в подающем трубопроводе от источника до конечного узла участка, м.',
  'ПотНОтИКонПод', 'П', 0, '<ПотНОтИНачПод>+<ПотНПод>', 1, 1, 1);
INSERT INTO [ФлыПредопрПок] VALUES ('Удельные потери напора в подающем трубопроводе ветви, м./м.',
  'УПНВВПод', 'П', 0, NULL, 1, 1, 1);

-- Return pipe, per segment (two-pipe networks only).
INSERT INTO [ФлыПредопрПок] VALUES ('Длина обратного трубопровода на участке, м.',
  'ДлНаУчОбр', 'О', 0, NULL, 1, 0, 1);
INSERT INTO [ФлыПредопрПок] VALUES ('Расход воды в обратном трубопроводе на участке, т/ч.',
  'РасхОбр', 'О', 0, NULL, 1, 0, 1);
INSERT INTO [ФлыПредопрПок] VALUES ('Длина обратного трубопровода на начальном узле участка, м.',
  'ДлНачОбр', 'О', 0, NULL, 1, 0, 1);
INSERT INTO [ФлыПредопрПок] VALUES ('Длина обратного трубопровода на конечном узле участка, м.',
  'ДлКонОбр', 'О', 0, NULL, 1, 0, 1);
INSERT INTO [ФлыПредопрПок] VALUES ('Температура воды в обратном трубопроводе на начальном узле участка, град. С',
  'ТВодыНачОбр', 'О', 0, NULL, 1, 0, 1);
INSERT INTO [ФлыПредопрПок] VALUES ('Температура воды в обратном трубопроводе на конечном узле участка, град. С',
  'ТВодыКонОбр', 'О', 0, NULL, 1, 0, 1);
INSERT INTO [ФлыПредопрПок] VALUES ('Потери напора в обратном трубопроводе от источника до начального узла участка, м.',
  'ПотНОтИНачОбр', 'О', 0, NULL, 1, 0, 1);
INSERT INTO [ФлыПредопрПок] VALUES ('Потери напора в обратном трубопроводе от источника до конечного узла участка, м.',
  'ПотНОтИКонОбр', 'О', 0, '<ПотНОтИНачОбр>+<ПотНОбр>', 1, 0, 1);
INSERT INTO [ФлыПредопрПок] VALUES ('Удельные потери напора в обратном трубопроводе ветви, м./м.',
  'УПНВВОбр', 'О', 0, NULL, 1, 0, 1);

-- Node heads, computed after all formulas.
INSERT INTO [ФлыПредопрПок] VALUES ('Полный напор в подающем трубопроводе на начальном узле участка, м.',
  'ПНапНачПод', 'П', 0, NULL, 1, 1, 1);
INSERT INTO [ФлыПредопрПок] VALUES ('Полный напор в подающем трубопроводе на конечном узле участка, м.',
  'ПНапКонПод', 'П', 0, NULL, 1, 1, 1);
INSERT INTO [ФлыПредопрПок] VALUES ('Полный напор в обратном трубопроводе на начальном узле участка, м.',
  'ПНапНачОбр', 'О', 0, NULL, 1, 0, 1);
INSERT INTO [ФлыПредопрПок] VALUES ('Полный напор в обратном трубопроводе на конечном узле участка, м.',
  'ПНапКонОбр', 'О', 0, NULL, 1, 0, 1);
INSERT INTO [ФлыПредопрПок] VALUES ('Располагаемый напор на начальном узле участка, м.',
  'РНапНач', 'И', 0, NULL, 1, 0, 1);
INSERT INTO [ФлыПредопрПок] VALUES ('Располагаемый напор на конечном узле участка, м.',
  'РНапКон', 'И', 0, NULL, 1, 0, 1);

-- Network nodes and head changes at nodes.
CREATE TABLE [УзлыТС] ([Nуз] smallint PRIMARY KEY, [x] smallint, [y] smallint, [ГеодВыс] float);
CREATE TABLE [ИзмПНапВУзлахТС] ([Nуз] smallint NOT NULL, [ТрПр] bit NOT NULL, [ИзмПНап] float NOT NULL);

-- Mains found by the topology check.
CREATE TABLE [МагистралиТС] ([id_m] smallint, [NппУчВМ] smallint, [НачУзел] smallint, [КонУзел] smallint,
  [РасхПод] float, [РасхОбр] float);

-- Evaluation order of the indicators (rebuilt by every catalogue check).
CREATE TABLE [ПриорЗ] ([Nприоритета] smallint, [Показатель] text(255));
CREATE TABLE [ПриорП] ([Nприоритета] smallint, [Показатель] text(255));
CREATE TABLE [ПриорОИ] ([Nприоритета] smallint, [Показатель] text(255));

-- Segments already handled by a walk of the calculation run.
CREATE TABLE [СписокРасчУчастков] ([НачУзел] smallint, [КонУзел] smallint);

-- Header values: user header indicators in Nпп order, then the fixed columns.
CREATE TABLE [Заг] ([КэШер] float, [ДолМестПот] float, [ПНапНаУзПод] float, [РНапНаУз] float, [МинГеодВысТС] float, [МаксГеодВысТС] float, [МаксДлПод] float, [МаксДлОбр] float, [МаксСумДлПодОбр] float, [МинТВоды] float, [МаксТВоды] float);
-- Roughness of steel heat-network pipes 0.5 mm; local losses 30 % of the linear ones.
INSERT INTO [Заг] ([КэШер], [ДолМестПот]) VALUES (0.5, 0.3);

-- Segments: fixed columns, user segment indicators in Nпп order, losses and heads.
CREATE TABLE [Табл] ([id] integer PRIMARY KEY, [НачУзел] smallint, [КонУзел] smallint, [ГеодВысНач] float, [ГеодВысКон] float, [ДлНаУчПод] float, [ДлНаУчОбр] float, [РасхПод] float, [РасхОбр] float, [ДлНачПод] float, [ДлНачОбр] float, [ДлКонПод] float, [ДлКонОбр] float, [ТВодыНачПод] float, [ТВодыНачОбр] float, [ТВодыКонПод] float, [ТВодыКонОбр] float, [ДуПод] float, [ДвнПод] float, [ТСрПод] float, [ПлВодыПод] float, [СкорПод] float, [УдПотДПод] float, [ПотНПод] float, [ДуОбр] float, [ДвнОбр] float, [ТСрОбр] float, [ПлВодыОбр] float, [СкорОбр] float, [УдПотДОбр] float, [ПотНОбр] float, [ПотНОтИНачПод] float, [ПотНОтИНачОбр] float, [ПотНОтИКонПод] float, [ПотНОтИКонОбр] float, [ПНапНачПод] float, [ПНапНачОбр] float, [ПНапКонПод] float, [ПНапКонОбр] float, [РНапНач] float, [РНапКон] float, [Примечание] text(255), [Заполн_Уч] text(1));

-- Per-main results and the values given at the end nodes.
CREATE TABLE [КонМаг] ([id_m] smallint, [РВПод] bit NOT NULL, [РНачСУзПод] smallint, [КонУзел] smallint, [ДлМагПод] float, [ПотНОтИПод] float, [ПНапПод] float, [ПНапЗПод] float, [ПНапЗБИПод] float, [УПНВМагПод] float, [РВОбр] bit NOT NULL, [РНачСУзОбр] smallint, [ДлМагОбр] float, [ДлМагСум] float, [ПотНОтИОбр] float, [ПНапОбр] float, [РНап] float, [РНапЗ] float, [ПНапЗОбр] float, [ПНапЗБИОбр] float, [УПНВМагОбр] float, [ДельтаТ] float);

COMMIT;
