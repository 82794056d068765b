route
   nm = A
1 B
2	C
3 Port Selm
end
rout again
nm = Port Selm
9 A
0 Nowhere
end