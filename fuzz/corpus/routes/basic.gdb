routes of the skarnel network
   nm = Ashford
1 Brinemouth
2	Calder Reach
3 ashford
7 Brinemouth
1 Nowhere
1 brinemouth
end
rout
nm = Nowhere
1 Ashford
end
  an ordinary line
rout
   nm = Brinemouth
1 Ashford
end
rout
   nm = Brinemouth
3 Calder Reach
end
rout
 nm = Calder Reach  
  2 Ashford  
end