-- A million channel names built from a prefix and a number.
local length = 0
local sevens = 0
for i = 0, 999999 do
  local name = "ch" .. i % 8
  length = length + #name
  if name == "ch7" then sevens = sevens + 1 end
end
print(length)
print(sevens)
