; Veldamar travel: 1 skarnel, 2 ship, 3 mages guild

