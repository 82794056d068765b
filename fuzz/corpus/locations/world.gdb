; Veldamar places: 12 records of eight lines

[loc 0001]
name: Falelgard
regn: Zoraeth Downs
kind: city
levl: 0
folk: 20776
land: plains
posn: 99874,95313

[loc 0002]
name: Falgard
regn: Zoraeth Downs
kind: city
levl: 1
folk: 13545
land: hills
posn: 65721,-9288

[loc 0003]
name: Fort Dravmar
regn: Zoraeth Downs
kind: fortress
levl: 2
folk: 3686
land: hills
posn: 3819,90907

[loc 0004]
name: Port Nimelthas
regn: Zoraeth Downs
kind: port
levl: 2
folk: 3217
land: coast
posn: 100445,6605

[loc 0005]
name: Port Isheth
regn: Zoraeth Downs
kind: port
levl: 3
folk: 662
land: coast
posn: -3054,182288

[loc 0006]
name: Nimismar
regn: Zoraeth Downs
kind: port
levl: 3
folk: 1311
land: coast
posn: 145650,110361

[loc 0007]
name: Branmar
regn: Zoraeth Downs
kind: village
levl: 3
folk: 386
land: hills
posn: -34918,24816

[loc 0008]
name: Tower of Morenesh
regn: Zoraeth Downs
kind: tower
levl: 4
folk: 118
land: hills
posn: 80662,85701

[loc 0009]
name: Ruins of Karford
regn: Zoraeth Downs
kind: ruins
levl: 4
folk: 22
land: woodland
posn: -81766,5565

[loc 0010]
name: Sevaesh Mine
regn: Zoraeth Downs
kind: mine
levl: 4
folk: 81
land: hills
posn: -20775,58864

[loc 0011]
name: Ervienesh Farm
regn: Zoraeth Downs
kind: farmstead
levl: 5
folk: 5
land: plains
posn: -33170,142626

[loc 0012]
name: Tirovar Grove
regn: Zoraeth Downs
kind: grove
levl: 5
folk: 1
land: hills
posn: 16772,-10637

