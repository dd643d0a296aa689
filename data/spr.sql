-- Spr.mdb: reference data of the hydraulic calculation.
-- Built with: sqlite3 -bail Spr.mdb < spr.sql (on an empty file).

BEGIN;

-- Pipe diameters: nominal diameter and internal diameter, mm.
-- Steel electric-welded and seamless pipes of the series used for heat networks;
-- internal diameter = outer diameter - 2 * wall, rounded to whole millimetres.
CREATE TABLE [ДиамТрПр] ([УслДиамТрПр] smallint, [ВнутрДиамТрПр] smallint);

INSERT INTO [ДиамТрПр] VALUES (25, 27);  -- 32x2,5
INSERT INTO [ДиамТрПр] VALUES (32, 33);  -- 38x2,5
INSERT INTO [ДиамТрПр] VALUES (40, 40);  -- 45x2,5
INSERT INTO [ДиамТрПр] VALUES (50, 51);  -- 57x3
INSERT INTO [ДиамТрПр] VALUES (65, 70);  -- 76x3
INSERT INTO [ДиамТрПр] VALUES (80, 82);  -- 89x3,5
INSERT INTO [ДиамТрПр] VALUES (100, 100); -- 108x4
INSERT INTO [ДиамТрПр] VALUES (125, 125); -- 133x4
INSERT INTO [ДиамТрПр] VALUES (150, 150); -- 159x4,5
INSERT INTO [ДиамТрПр] VALUES (175, 184); -- 194x5
INSERT INTO [ДиамТрПр] VALUES (200, 207); -- 219x6
INSERT INTO [ДиамТрПр] VALUES (250, 259); -- 273x7
INSERT INTO [ДиамТрПр] VALUES (300, 309); -- 325x8
INSERT INTO [ДиамТрПр] VALUES (350, 359); -- 377x9
INSERT INTO [ДиамТрПр] VALUES (400, 412); -- 426x7
INSERT INTO [ДиамТрПр] VALUES (450, 466); -- 480x7
INSERT INTO [ДиамТрПр] VALUES (500, 514); -- 530x8
INSERT INTO [ДиамТрПр] VALUES (600, 614); -- 630x8
INSERT INTO [ДиамТрПр] VALUES (700, 704); -- 720x8
INSERT INTO [ДиамТрПр] VALUES (800, 802); -- 820x9
INSERT INTO [ДиамТрПр] VALUES (900, 900); -- 920x10
INSERT INTO [ДиамТрПр] VALUES (1000, 998); -- 1020x11
INSERT INTO [ДиамТрПр] VALUES (1200, 1192); -- 1220x14
INSERT INTO [ДиамТрПр] VALUES (1400, 1388); -- 1420x16

-- Water density, kg/m3, for every whole degree from 1 to 200 град. С.
-- Computed by tools/water_density.py from the IAPWS-IF97 industrial formulation,
-- region 1 (compressed liquid), at a pressure of 1.6 MPa (water is liquid over the
-- whole range: the saturation pressure at 200 град. С is 1.555 MPa); rounded to
-- 0.01 kg/m3. The script checks itself against the IF97 verification values.
CREATE TABLE [ПлВодыОтТ] ([Т] smallint, [Плотность] float);

INSERT INTO [ПлВодыОтТ] VALUES (1, 1000.66);
INSERT INTO [ПлВодыОтТ] VALUES (2, 1000.69);
INSERT INTO [ПлВодыОтТ] VALUES (3, 1000.71);
INSERT INTO [ПлВодыОтТ] VALUES (4, 1000.72);
INSERT INTO [ПлВодыОтТ] VALUES (5, 1000.70);
INSERT INTO [ПлВодыОтТ] VALUES (6, 1000.67);
INSERT INTO [ПлВодыОтТ] VALUES (7, 1000.63);
INSERT INTO [ПлВодыОтТ] VALUES (8, 1000.57);
INSERT INTO [ПлВодыОтТ] VALUES (9, 1000.50);
INSERT INTO [ПлВодыОтТ] VALUES (10, 1000.42);
INSERT INTO [ПлВодыОтТ] VALUES (11, 1000.32);
INSERT INTO [ПлВодыОтТ] VALUES (12, 1000.21);
INSERT INTO [ПлВодыОтТ] VALUES (13, 1000.08);
INSERT INTO [ПлВодыОтТ] VALUES (14, 999.95);
INSERT INTO [ПлВодыОтТ] VALUES (15, 999.80);
INSERT INTO [ПлВодыОтТ] VALUES (16, 999.64);
INSERT INTO [ПлВодыОтТ] VALUES (17, 999.47);
INSERT INTO [ПлВодыОтТ] VALUES (18, 999.29);
INSERT INTO [ПлВодыОтТ] VALUES (19, 999.09);
INSERT INTO [ПлВодыОтТ] VALUES (20, 998.89);
INSERT INTO [ПлВодыОтТ] VALUES (21, 998.68);
INSERT INTO [ПлВодыОтТ] VALUES (22, 998.45);
INSERT INTO [ПлВодыОтТ] VALUES (23, 998.22);
INSERT INTO [ПлВодыОтТ] VALUES (24, 997.98);
INSERT INTO [ПлВодыОтТ] VALUES (25, 997.72);
INSERT INTO [ПлВодыОтТ] VALUES (26, 997.46);
INSERT INTO [ПлВодыОтТ] VALUES (27, 997.19);
INSERT INTO [ПлВодыОтТ] VALUES (28, 996.91);
INSERT INTO [ПлВодыОтТ] VALUES (29, 996.62);
INSERT INTO [ПлВодыОтТ] VALUES (30, 996.32);
INSERT INTO [ПлВодыОтТ] VALUES (31, 996.01);
INSERT INTO [ПлВодыОтТ] VALUES (32, 995.69);
INSERT INTO [ПлВодыОтТ] VALUES (33, 995.37);
INSERT INTO [ПлВодыОтТ] VALUES (34, 995.04);
INSERT INTO [ПлВодыОтТ] VALUES (35, 994.70);
INSERT INTO [ПлВодыОтТ] VALUES (36, 994.35);
INSERT INTO [ПлВодыОтТ] VALUES (37, 993.99);
INSERT INTO [ПлВодыОтТ] VALUES (38, 993.63);
INSERT INTO [ПлВодыОтТ] VALUES (39, 993.26);
INSERT INTO [ПлВодыОтТ] VALUES (40, 992.88);
INSERT INTO [ПлВодыОтТ] VALUES (41, 992.49);
INSERT INTO [ПлВодыОтТ] VALUES (42, 992.10);
INSERT INTO [ПлВодыОтТ] VALUES (43, 991.70);
INSERT INTO [ПлВодыОтТ] VALUES (44, 991.29);
INSERT INTO [ПлВодыОтТ] VALUES (45, 990.88);
INSERT INTO [ПлВодыОтТ] VALUES (46, 990.45);
INSERT INTO [ПлВодыОтТ] VALUES (47, 990.02);
INSERT INTO [ПлВодыОтТ] VALUES (48, 989.59);
INSERT INTO [ПлВодыОтТ] VALUES (49, 989.15);
INSERT INTO [ПлВодыОтТ] VALUES (50, 988.70);
INSERT INTO [ПлВодыОтТ] VALUES (51, 988.24);
INSERT INTO [ПлВодыОтТ] VALUES (52, 987.78);
INSERT INTO [ПлВодыОтТ] VALUES (53, 987.31);
INSERT INTO [ПлВодыОтТ] VALUES (54, 986.84);
INSERT INTO [ПлВодыОтТ] VALUES (55, 986.36);
INSERT INTO [ПлВодыОтТ] VALUES (56, 985.87);
INSERT INTO [ПлВодыОтТ] VALUES (57, 985.38);
INSERT INTO [ПлВодыОтТ] VALUES (58, 984.88);
INSERT INTO [ПлВодыОтТ] VALUES (59, 984.37);
INSERT INTO [ПлВодыОтТ] VALUES (60, 983.86);
INSERT INTO [ПлВодыОтТ] VALUES (61, 983.35);
INSERT INTO [ПлВодыОтТ] VALUES (62, 982.82);
INSERT INTO [ПлВодыОтТ] VALUES (63, 982.29);
INSERT INTO [ПлВодыОтТ] VALUES (64, 981.76);
INSERT INTO [ПлВодыОтТ] VALUES (65, 981.22);
INSERT INTO [ПлВодыОтТ] VALUES (66, 980.68);
INSERT INTO [ПлВодыОтТ] VALUES (67, 980.12);
INSERT INTO [ПлВодыОтТ] VALUES (68, 979.57);
INSERT INTO [ПлВодыОтТ] VALUES (69, 979.01);
INSERT INTO [ПлВодыОтТ] VALUES (70, 978.44);
INSERT INTO [ПлВодыОтТ] VALUES (71, 977.86);
INSERT INTO [ПлВодыОтТ] VALUES (72, 977.29);
INSERT INTO [ПлВодыОтТ] VALUES (73, 976.70);
INSERT INTO [ПлВодыОтТ] VALUES (74, 976.11);
INSERT INTO [ПлВодыОтТ] VALUES (75, 975.52);
INSERT INTO [ПлВодыОтТ] VALUES (76, 974.92);
INSERT INTO [ПлВодыОтТ] VALUES (77, 974.32);
INSERT INTO [ПлВодыОтТ] VALUES (78, 973.71);
INSERT INTO [ПлВодыОтТ] VALUES (79, 973.09);
INSERT INTO [ПлВодыОтТ] VALUES (80, 972.47);
INSERT INTO [ПлВодыОтТ] VALUES (81, 971.85);
INSERT INTO [ПлВодыОтТ] VALUES (82, 971.22);
INSERT INTO [ПлВодыОтТ] VALUES (83, 970.58);
INSERT INTO [ПлВодыОтТ] VALUES (84, 969.94);
INSERT INTO [ПлВодыОтТ] VALUES (85, 969.30);
INSERT INTO [ПлВодыОтТ] VALUES (86, 968.65);
INSERT INTO [ПлВодыОтТ] VALUES (87, 967.99);
INSERT INTO [ПлВодыОтТ] VALUES (88, 967.33);
INSERT INTO [ПлВодыОтТ] VALUES (89, 966.67);
INSERT INTO [ПлВодыОтТ] VALUES (90, 966.00);
INSERT INTO [ПлВодыОтТ] VALUES (91, 965.33);
INSERT INTO [ПлВодыОтТ] VALUES (92, 964.65);
INSERT INTO [ПлВодыОтТ] VALUES (93, 963.97);
INSERT INTO [ПлВодыОтТ] VALUES (94, 963.28);
INSERT INTO [ПлВодыОтТ] VALUES (95, 962.59);
INSERT INTO [ПлВодыОтТ] VALUES (96, 961.89);
INSERT INTO [ПлВодыОтТ] VALUES (97, 961.19);
INSERT INTO [ПлВодыОтТ] VALUES (98, 960.48);
INSERT INTO [ПлВодыОтТ] VALUES (99, 959.77);
INSERT INTO [ПлВодыОтТ] VALUES (100, 959.06);
INSERT INTO [ПлВодыОтТ] VALUES (101, 958.34);
INSERT INTO [ПлВодыОтТ] VALUES (102, 957.61);
INSERT INTO [ПлВодыОтТ] VALUES (103, 956.88);
INSERT INTO [ПлВодыОтТ] VALUES (104, 956.15);
INSERT INTO [ПлВодыОтТ] VALUES (105, 955.41);
INSERT INTO [ПлВодыОтТ] VALUES (106, 954.67);
INSERT INTO [ПлВодыОтТ] VALUES (107, 953.92);
INSERT INTO [ПлВодыОтТ] VALUES (108, 953.17);
INSERT INTO [ПлВодыОтТ] VALUES (109, 952.41);
INSERT INTO [ПлВодыОтТ] VALUES (110, 951.65);
INSERT INTO [ПлВодыОтТ] VALUES (111, 950.89);
INSERT INTO [ПлВодыОтТ] VALUES (112, 950.12);
INSERT INTO [ПлВодыОтТ] VALUES (113, 949.34);
INSERT INTO [ПлВодыОтТ] VALUES (114, 948.57);
INSERT INTO [ПлВодыОтТ] VALUES (115, 947.78);
INSERT INTO [ПлВодыОтТ] VALUES (116, 947.00);
INSERT INTO [ПлВодыОтТ] VALUES (117, 946.21);
INSERT INTO [ПлВодыОтТ] VALUES (118, 945.41);
INSERT INTO [ПлВодыОтТ] VALUES (119, 944.61);
INSERT INTO [ПлВодыОтТ] VALUES (120, 943.81);
INSERT INTO [ПлВодыОтТ] VALUES (121, 943.00);
INSERT INTO [ПлВодыОтТ] VALUES (122, 942.18);
INSERT INTO [ПлВодыОтТ] VALUES (123, 941.37);
INSERT INTO [ПлВодыОтТ] VALUES (124, 940.54);
INSERT INTO [ПлВодыОтТ] VALUES (125, 939.72);
INSERT INTO [ПлВодыОтТ] VALUES (126, 938.89);
INSERT INTO [ПлВодыОтТ] VALUES (127, 938.05);
INSERT INTO [ПлВодыОтТ] VALUES (128, 937.21);
INSERT INTO [ПлВодыОтТ] VALUES (129, 936.37);
INSERT INTO [ПлВодыОтТ] VALUES (130, 935.52);
INSERT INTO [ПлВодыОтТ] VALUES (131, 934.67);
INSERT INTO [ПлВодыОтТ] VALUES (132, 933.81);
INSERT INTO [ПлВодыОтТ] VALUES (133, 932.95);
INSERT INTO [ПлВодыОтТ] VALUES (134, 932.09);
INSERT INTO [ПлВодыОтТ] VALUES (135, 931.22);
INSERT INTO [ПлВодыОтТ] VALUES (136, 930.34);
INSERT INTO [ПлВодыОтТ] VALUES (137, 929.46);
INSERT INTO [ПлВодыОтТ] VALUES (138, 928.58);
INSERT INTO [ПлВодыОтТ] VALUES (139, 927.69);
INSERT INTO [ПлВодыОтТ] VALUES (140, 926.80);
INSERT INTO [ПлВодыОтТ] VALUES (141, 925.91);
INSERT INTO [ПлВодыОтТ] VALUES (142, 925.01);
INSERT INTO [ПлВодыОтТ] VALUES (143, 924.10);
INSERT INTO [ПлВодыОтТ] VALUES (144, 923.19);
INSERT INTO [ПлВодыОтТ] VALUES (145, 922.28);
INSERT INTO [ПлВодыОтТ] VALUES (146, 921.36);
INSERT INTO [ПлВодыОтТ] VALUES (147, 920.44);
INSERT INTO [ПлВодыОтТ] VALUES (148, 919.51);
INSERT INTO [ПлВодыОтТ] VALUES (149, 918.58);
INSERT INTO [ПлВодыОтТ] VALUES (150, 917.64);
INSERT INTO [ПлВодыОтТ] VALUES (151, 916.70);
INSERT INTO [ПлВодыОтТ] VALUES (152, 915.76);
INSERT INTO [ПлВодыОтТ] VALUES (153, 914.81);
INSERT INTO [ПлВодыОтТ] VALUES (154, 913.86);
INSERT INTO [ПлВодыОтТ] VALUES (155, 912.90);
INSERT INTO [ПлВодыОтТ] VALUES (156, 911.93);
INSERT INTO [ПлВодыОтТ] VALUES (157, 910.97);
INSERT INTO [ПлВодыОтТ] VALUES (158, 909.99);
INSERT INTO [ПлВодыОтТ] VALUES (159, 909.02);
INSERT INTO [ПлВодыОтТ] VALUES (160, 908.04);
INSERT INTO [ПлВодыОтТ] VALUES (161, 907.05);
INSERT INTO [ПлВодыОтТ] VALUES (162, 906.06);
INSERT INTO [ПлВодыОтТ] VALUES (163, 905.06);
INSERT INTO [ПлВодыОтТ] VALUES (164, 904.06);
INSERT INTO [ПлВодыОтТ] VALUES (165, 903.06);
INSERT INTO [ПлВодыОтТ] VALUES (166, 902.05);
INSERT INTO [ПлВодыОтТ] VALUES (167, 901.04);
INSERT INTO [ПлВодыОтТ] VALUES (168, 900.02);
INSERT INTO [ПлВодыОтТ] VALUES (169, 898.99);
INSERT INTO [ПлВодыОтТ] VALUES (170, 897.96);
INSERT INTO [ПлВодыОтТ] VALUES (171, 896.93);
INSERT INTO [ПлВодыОтТ] VALUES (172, 895.89);
INSERT INTO [ПлВодыОтТ] VALUES (173, 894.85);
INSERT INTO [ПлВодыОтТ] VALUES (174, 893.80);
INSERT INTO [ПлВодыОтТ] VALUES (175, 892.75);
INSERT INTO [ПлВодыОтТ] VALUES (176, 891.69);
INSERT INTO [ПлВодыОтТ] VALUES (177, 890.63);
INSERT INTO [ПлВодыОтТ] VALUES (178, 889.56);
INSERT INTO [ПлВодыОтТ] VALUES (179, 888.48);
INSERT INTO [ПлВодыОтТ] VALUES (180, 887.40);
INSERT INTO [ПлВодыОтТ] VALUES (181, 886.32);
INSERT INTO [ПлВодыОтТ] VALUES (182, 885.23);
INSERT INTO [ПлВодыОтТ] VALUES (183, 884.14);
INSERT INTO [ПлВодыОтТ] VALUES (184, 883.04);
INSERT INTO [ПлВодыОтТ] VALUES (185, 881.93);
INSERT INTO [ПлВодыОтТ] VALUES (186, 880.82);
INSERT INTO [ПлВодыОтТ] VALUES (187, 879.71);
INSERT INTO [ПлВодыОтТ] VALUES (188, 878.59);
INSERT INTO [ПлВодыОтТ] VALUES (189, 877.46);
INSERT INTO [ПлВодыОтТ] VALUES (190, 876.33);
INSERT INTO [ПлВодыОтТ] VALUES (191, 875.19);
INSERT INTO [ПлВодыОтТ] VALUES (192, 874.05);
INSERT INTO [ПлВодыОтТ] VALUES (193, 872.90);
INSERT INTO [ПлВодыОтТ] VALUES (194, 871.75);
INSERT INTO [ПлВодыОтТ] VALUES (195, 870.59);
INSERT INTO [ПлВодыОтТ] VALUES (196, 869.42);
INSERT INTO [ПлВодыОтТ] VALUES (197, 868.25);
INSERT INTO [ПлВодыОтТ] VALUES (198, 867.07);
INSERT INTO [ПлВодыОтТ] VALUES (199, 865.89);
INSERT INTO [ПлВодыОтТ] VALUES (200, 864.70);

-- Correction coefficients to the specific pressure loss for a roughness other than
-- 0.5 mm: in the quadratic regime the loss is proportional to kэ^0.25, so
--   β = (kэ / 0.5)^0.25, rounded to 0.001,
-- for every nominal diameter of ДиамТрПр and kэ = 0.1 ... 2.0 mm.
CREATE TABLE [ПопрКоэфКУдПот] ([УслДиамТрПр] smallint, [ЭквШер] float, [Коэф] float);

INSERT INTO [ПопрКоэфКУдПот] VALUES (25, 0.1, 0.669);
INSERT INTO [ПопрКоэфКУдПот] VALUES (25, 0.2, 0.795);
INSERT INTO [ПопрКоэфКУдПот] VALUES (25, 0.3, 0.880);
INSERT INTO [ПопрКоэфКУдПот] VALUES (25, 0.5, 1.000);
INSERT INTO [ПопрКоэфКУдПот] VALUES (25, 0.8, 1.125);
INSERT INTO [ПопрКоэфКУдПот] VALUES (25, 1.0, 1.189);
INSERT INTO [ПопрКоэфКУдПот] VALUES (25, 1.5, 1.316);
INSERT INTO [ПопрКоэфКУдПот] VALUES (25, 2.0, 1.414);
INSERT INTO [ПопрКоэфКУдПот] VALUES (32, 0.1, 0.669);
INSERT INTO [ПопрКоэфКУдПот] VALUES (32, 0.2, 0.795);
INSERT INTO [ПопрКоэфКУдПот] VALUES (32, 0.3, 0.880);
INSERT INTO [ПопрКоэфКУдПот] VALUES (32, 0.5, 1.000);
INSERT INTO [ПопрКоэфКУдПот] VALUES (32, 0.8, 1.125);
INSERT INTO [ПопрКоэфКУдПот] VALUES (32, 1.0, 1.189);
INSERT INTO [ПопрКоэфКУдПот] VALUES (32, 1.5, 1.316);
INSERT INTO [ПопрКоэфКУдПот] VALUES (32, 2.0, 1.414);
INSERT INTO [ПопрКоэфКУдПот] VALUES (40, 0.1, 0.669);
INSERT INTO [ПопрКоэфКУдПот] VALUES (40, 0.2, 0.795);
INSERT INTO [ПопрКоэфКУдПот] VALUES (40, 0.3, 0.880);
INSERT INTO [ПопрКоэфКУдПот] VALUES (40, 0.5, 1.000);
INSERT INTO [ПопрКоэфКУдПот] VALUES (40, 0.8, 1.125);
INSERT INTO [ПопрКоэфКУдПот] VALUES (40, 1.0, 1.189);
INSERT INTO [ПопрКоэфКУдПот] VALUES (40, 1.5, 1.316);
INSERT INTO [ПопрКоэфКУдПот] VALUES (40, 2.0, 1.414);
INSERT INTO [ПопрКоэфКУдПот] VALUES (50, 0.1, 0.669);
INSERT INTO [ПопрКоэфКУдПот] VALUES (50, 0.2, 0.795);
INSERT INTO [ПопрКоэфКУдПот] VALUES (50, 0.3, 0.880);
INSERT INTO [ПопрКоэфКУдПот] VALUES (50, 0.5, 1.000);
INSERT INTO [ПопрКоэфКУдПот] VALUES (50, 0.8, 1.125);
INSERT INTO [ПопрКоэфКУдПот] VALUES (50, 1.0, 1.189);
INSERT INTO [ПопрКоэфКУдПот] VALUES (50, 1.5, 1.316);
INSERT INTO [ПопрКоэфКУдПот] VALUES (50, 2.0, 1.414);
INSERT INTO [ПопрКоэфКУдПот] VALUES (65, 0.1, 0.669);
INSERT INTO [ПопрКоэфКУдПот] VALUES (65, 0.2, 0.795);
INSERT INTO [ПопрКоэфКУдПот] VALUES (65, 0.3, 0.880);
INSERT INTO [ПопрКоэфКУдПот] VALUES (65, 0.5, 1.000);
INSERT INTO [ПопрКоэфКУдПот] VALUES (65, 0.8, 1.125);
INSERT INTO [ПопрКоэфКУдПот] VALUES (65, 1.0, 1.189);
INSERT INTO [ПопрКоэфКУдПот] VALUES (65, 1.5, 1.316);
INSERT INTO [ПопрКоэфКУдПот] VALUES (65, 2.0, 1.414);
INSERT INTO [ПопрКоэфКУдПот] VALUES (80, 0.1, 0.669);
INSERT INTO [ПопрКоэфКУдПот] VALUES (80, 0.2, 0.795);
INSERT INTO [ПопрКоэфКУдПот] VALUES (80, 0.3, 0.880);
INSERT INTO [ПопрКоэфКУдПот] VALUES (80, 0.5, 1.000);
INSERT INTO [ПопрКоэфКУдПот] VALUES (80, 0.8, 1.125);
INSERT INTO [ПопрКоэфКУдПот] VALUES (80, 1.0, 1.189);
INSERT INTO [ПопрКоэфКУдПот] VALUES (80, 1.5, 1.316);
INSERT INTO [ПопрКоэфКУдПот] VALUES (80, 2.0, 1.414);
INSERT INTO [ПопрКоэфКУдПот] VALUES (100, 0.1, 0.669);
INSERT INTO [ПопрКоэфКУдПот] VALUES (100, 0.2, 0.795);
INSERT INTO [ПопрКоэфКУдПот] VALUES (100, 0.3, 0.880);
INSERT INTO [ПопрКоэфКУдПот] VALUES (100, 0.5, 1.000);
INSERT INTO [ПопрКоэфКУдПот] VALUES (100, 0.8, 1.125);
INSERT INTO [ПопрКоэфКУдПот] VALUES (100, 1.0, 1.189);
INSERT INTO [ПопрКоэфКУдПот] VALUES (100, 1.5, 1.316);
INSERT INTO [ПопрКоэфКУдПот] VALUES (100, 2.0, 1.414);
INSERT INTO [ПопрКоэфКУдПот] VALUES (125, 0.1, 0.669);
INSERT INTO [ПопрКоэфКУдПот] VALUES (125, 0.2, 0.795);
INSERT INTO [ПопрКоэфКУдПот] VALUES (125, 0.3, 0.880);
INSERT INTO [ПопрКоэфКУдПот] VALUES (125, 0.5, 1.000);
INSERT INTO [ПопрКоэфКУдПот] VALUES (125, 0.8, 1.125);
INSERT INTO [ПопрКоэфКУдПот] VALUES (125, 1.0, 1.189);
INSERT INTO [ПопрКоэфКУдПот] VALUES (125, 1.5, 1.316);
INSERT INTO [ПопрКоэфКУдПот] VALUES (125, 2.0, 1.414);
INSERT INTO [ПопрКоэфКУдПот] VALUES (150, 0.1, 0.669);
INSERT INTO [ПопрКоэфКУдПот] VALUES (150, 0.2, 0.795);
INSERT INTO [ПопрКоэфКУдПот] VALUES (150, 0.3, 0.880);
INSERT INTO [ПопрКоэфКУдПот] VALUES (150, 0.5, 1.000);
INSERT INTO [ПопрКоэфКУдПот] VALUES (150, 0.8, 1.125);
INSERT INTO [ПопрКоэфКУдПот] VALUES (150, 1.0, 1.189);
INSERT INTO [ПопрКоэфКУдПот] VALUES (150, 1.5, 1.316);
INSERT INTO [ПопрКоэфКУдПот] VALUES (150, 2.0, 1.414);
INSERT INTO [ПопрКоэфКУдПот] VALUES (175, 0.1, 0.669);
INSERT INTO [ПопрКоэфКУдПот] VALUES (175, 0.2, 0.795);
INSERT INTO [ПопрКоэфКУдПот] VALUES (175, 0.3, 0.880);
INSERT INTO [ПопрКоэфКУдПот] VALUES (175, 0.5, 1.000);
INSERT INTO [ПопрКоэфКУдПот] VALUES (175, 0.8, 1.125);
INSERT INTO [ПопрКоэфКУдПот] VALUES (175, 1.0, 1.189);
INSERT INTO [ПопрКоэфКУдПот] VALUES (175, 1.5, 1.316);
INSERT INTO [ПопрКоэфКУдПот] VALUES (175, 2.0, 1.414);
INSERT INTO [ПопрКоэфКУдПот] VALUES (200, 0.1, 0.669);
INSERT INTO [ПопрКоэфКУдПот] VALUES (200, 0.2, 0.795);
INSERT INTO [ПопрКоэфКУдПот] VALUES (200, 0.3, 0.880);
INSERT INTO [ПопрКоэфКУдПот] VALUES (200, 0.5, 1.000);
INSERT INTO [ПопрКоэфКУдПот] VALUES (200, 0.8, 1.125);
INSERT INTO [ПопрКоэфКУдПот] VALUES (200, 1.0, 1.189);
INSERT INTO [ПопрКоэфКУдПот] VALUES (200, 1.5, 1.316);
INSERT INTO [ПопрКоэфКУдПот] VALUES (200, 2.0, 1.414);
INSERT INTO [ПопрКоэфКУдПот] VALUES (250, 0.1, 0.669);
INSERT INTO [ПопрКоэфКУдПот] VALUES (250, 0.2, 0.795);
INSERT INTO [ПопрКоэфКУдПот] VALUES (250, 0.3, 0.880);
INSERT INTO [ПопрКоэфКУдПот] VALUES (250, 0.5, 1.000);
INSERT INTO [ПопрКоэфКУдПот] VALUES (250, 0.8, 1.125);
INSERT INTO [ПопрКоэфКУдПот] VALUES (250, 1.0, 1.189);
INSERT INTO [ПопрКоэфКУдПот] VALUES (250, 1.5, 1.316);
INSERT INTO [ПопрКоэфКУдПот] VALUES (250, 2.0, 1.414);
INSERT INTO [ПопрКоэфКУдПот] VALUES (300, 0.1, 0.669);
INSERT INTO [ПопрКоэфКУдПот] VALUES (300, 0.2, 0.795);
INSERT INTO [ПопрКоэфКУдПот] VALUES (300, 0.3, 0.880);
INSERT INTO [ПопрКоэфКУдПот] VALUES (300, 0.5, 1.000);
INSERT INTO [ПопрКоэфКУдПот] VALUES (300, 0.8, 1.125);
INSERT INTO [ПопрКоэфКУдПот] VALUES (300, 1.0, 1.189);
INSERT INTO [ПопрКоэфКУдПот] VALUES (300, 1.5, 1.316);
INSERT INTO [ПопрКоэфКУдПот] VALUES (300, 2.0, 1.414);
INSERT INTO [ПопрКоэфКУдПот] VALUES (350, 0.1, 0.669);
INSERT INTO [ПопрКоэфКУдПот] VALUES (350, 0.2, 0.795);
INSERT INTO [ПопрКоэфКУдПот] VALUES (350, 0.3, 0.880);
INSERT INTO [ПопрКоэфКУдПот] VALUES (350, 0.5, 1.000);
INSERT INTO [ПопрКоэфКУдПот] VALUES (350, 0.8, 1.125);
INSERT INTO [ПопрКоэфКУдПот] VALUES (350, 1.0, 1.189);
INSERT INTO [ПопрКоэфКУдПот] VALUES (350, 1.5, 1.316);
INSERT INTO [ПопрКоэфКУдПот] VALUES (350, 2.0, 1.414);
INSERT INTO [ПопрКоэфКУдПот] VALUES (400, 0.1, 0.669);
INSERT INTO [ПопрКоэфКУдПот] VALUES (400, 0.2, 0.795);
INSERT INTO [ПопрКоэфКУдПот] VALUES (400, 0.3, 0.880);
INSERT INTO [ПопрКоэфКУдПот] VALUES (400, 0.5, 1.000);
INSERT INTO [ПопрКоэфКУдПот] VALUES (400, 0.8, 1.125);
INSERT INTO [ПопрКоэфКУдПот] VALUES (400, 1.0, 1.189);
INSERT INTO [ПопрКоэфКУдПот] VALUES (400, 1.5, 1.316);
INSERT INTO [ПопрКоэфКУдПот] VALUES (400, 2.0, 1.414);
INSERT INTO [ПопрКоэфКУдПот] VALUES (450, 0.1, 0.669);
INSERT INTO [ПопрКоэфКУдПот] VALUES (450, 0.2, 0.795);
INSERT INTO [ПопрКоэфКУдПот] VALUES (450, 0.3, 0.880);
INSERT INTO [ПопрКоэфКУдПот] VALUES (450, 0.5, 1.000);
INSERT INTO [ПопрКоэфКУдПот] VALUES (450, 0.8, 1.125);
INSERT INTO [ПопрКоэфКУдПот] VALUES (450, 1.0, 1.189);
INSERT INTO [ПопрКоэфКУдПот] VALUES (450, 1.5, 1.316);
INSERT INTO [ПопрКоэфКУдПот] VALUES (450, 2.0, 1.414);
INSERT INTO [ПопрКоэфКУдПот] VALUES (500, 0.1, 0.669);
INSERT INTO [ПопрКоэфКУдПот] VALUES (500, 0.2, 0.795);
INSERT INTO [ПопрКоэфКУдПот] VALUES (500, 0.3, 0.880);
INSERT INTO [ПопрКоэфКУдПот] VALUES (500, 0.5, 1.000);
INSERT INTO [ПопрКоэфКУдПот] VALUES (500, 0.8, 1.125);
INSERT INTO [ПопрКоэфКУдПот] VALUES (500, 1.0, 1.189);
INSERT INTO [ПопрКоэфКУдПот] VALUES (500, 1.5, 1.316);
INSERT INTO [ПопрКоэфКУдПот] VALUES (500, 2.0, 1.414);
INSERT INTO [ПопрКоэфКУдПот] VALUES (600, 0.1, 0.669);
INSERT INTO [ПопрКоэфКУдПот] VALUES (600, 0.2, 0.795);
INSERT INTO [ПопрКоэфКУдПот] VALUES (600, 0.3, 0.880);
INSERT INTO [ПопрКоэфКУдПот] VALUES (600, 0.5, 1.000);
INSERT INTO [ПопрКоэфКУдПот] VALUES (600, 0.8, 1.125);
INSERT INTO [ПопрКоэфКУдПот] VALUES (600, 1.0, 1.189);
INSERT INTO [ПопрКоэфКУдПот] VALUES (600, 1.5, 1.316);
INSERT INTO [ПопрКоэфКУдПот] VALUES (600, 2.0, 1.414);
INSERT INTO [ПопрКоэфКУдПот] VALUES (700, 0.1, 0.669);
INSERT INTO [ПопрКоэфКУдПот] VALUES (700, 0.2, 0.795);
INSERT INTO [ПопрКоэфКУдПот] VALUES (700, 0.3, 0.880);
INSERT INTO [ПопрКоэфКУдПот] VALUES (700, 0.5, 1.000);
INSERT INTO [ПопрКоэфКУдПот] VALUES (700, 0.8, 1.125);
INSERT INTO [ПопрКоэфКУдПот] VALUES (700, 1.0, 1.189);
INSERT INTO [ПопрКоэфКУдПот] VALUES (700, 1.5, 1.316);
INSERT INTO [ПопрКоэфКУдПот] VALUES (700, 2.0, 1.414);
INSERT INTO [ПопрКоэфКУдПот] VALUES (800, 0.1, 0.669);
INSERT INTO [ПопрКоэфКУдПот] VALUES (800, 0.2, 0.795);
INSERT INTO [ПопрКоэфКУдПот] VALUES (800, 0.3, 0.880);
INSERT INTO [ПопрКоэфКУдПот] VALUES (800, 0.5, 1.000);
INSERT INTO [ПопрКоэфКУдПот] VALUES (800, 0.8, 1.125);
INSERT INTO [ПопрКоэфКУдПот] VALUES (800, 1.0, 1.189);
INSERT INTO [ПопрКоэфКУдПот] VALUES (800, 1.5, 1.316);
INSERT INTO [ПопрКоэфКУдПот] VALUES (800, 2.0, 1.414);
INSERT INTO [ПопрКоэфКУдПот] VALUES (900, 0.1, 0.669);
INSERT INTO [ПопрКоэфКУдПот] VALUES (900, 0.2, 0.795);
INSERT INTO [ПопрКоэфКУдПот] VALUES (900, 0.3, 0.880);
INSERT INTO [ПопрКоэфКУдПот] VALUES (900, 0.5, 1.000);
INSERT INTO [ПопрКоэфКУдПот] VALUES (900, 0.8, 1.125);
INSERT INTO [ПопрКоэфКУдПот] VALUES (900, 1.0, 1.189);
INSERT INTO [ПопрКоэфКУдПот] VALUES (900, 1.5, 1.316);
INSERT INTO [ПопрКоэфКУдПот] VALUES (900, 2.0, 1.414);
INSERT INTO [ПопрКоэфКУдПот] VALUES (1000, 0.1, 0.669);
INSERT INTO [ПопрКоэфКУдПот] VALUES (1000, 0.2, 0.795);
INSERT INTO [ПопрКоэфКУдПот] VALUES (1000, 0.3, 0.880);
INSERT INTO [ПопрКоэфКУдПот] VALUES (1000, 0.5, 1.000);
INSERT INTO [ПопрКоэфКУдПот] VALUES (1000, 0.8, 1.125);
INSERT INTO [ПопрКоэфКУдПот] VALUES (1000, 1.0, 1.189);
INSERT INTO [ПопрКоэфКУдПот] VALUES (1000, 1.5, 1.316);
INSERT INTO [ПопрКоэфКУдПот] VALUES (1000, 2.0, 1.414);
INSERT INTO [ПопрКоэфКУдПот] VALUES (1200, 0.1, 0.669);
INSERT INTO [ПопрКоэфКУдПот] VALUES (1200, 0.2, 0.795);
INSERT INTO [ПопрКоэфКУдПот] VALUES (1200, 0.3, 0.880);
INSERT INTO [ПопрКоэфКУдПот] VALUES (1200, 0.5, 1.000);
INSERT INTO [ПопрКоэфКУдПот] VALUES (1200, 0.8, 1.125);
INSERT INTO [ПопрКоэфКУдПот] VALUES (1200, 1.0, 1.189);
INSERT INTO [ПопрКоэфКУдПот] VALUES (1200, 1.5, 1.316);
INSERT INTO [ПопрКоэфКУдПот] VALUES (1200, 2.0, 1.414);
INSERT INTO [ПопрКоэфКУдПот] VALUES (1400, 0.1, 0.669);
INSERT INTO [ПопрКоэфКУдПот] VALUES (1400, 0.2, 0.795);
INSERT INTO [ПопрКоэфКУдПот] VALUES (1400, 0.3, 0.880);
INSERT INTO [ПопрКоэфКУдПот] VALUES (1400, 0.5, 1.000);
INSERT INTO [ПопрКоэфКУдПот] VALUES (1400, 0.8, 1.125);
INSERT INTO [ПопрКоэфКУдПот] VALUES (1400, 1.0, 1.189);
INSERT INTO [ПопрКоэфКУдПот] VALUES (1400, 1.5, 1.316);
INSERT INTO [ПопрКоэфКУдПот] VALUES (1400, 2.0, 1.414);

COMMIT;
